#include "tool/scratch_folder.h"

#include <windows.h>

#include "base/text.h"

namespace nm::tool {

std::wstring ScratchFolderPath(const std::wstring& command) {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return text::CollapseSeparators(std::wstring(temp) + L"\\novamend-" + command + L"-" +
                                    std::to_wstring(::GetCurrentProcessId()));
}

}  // namespace nm::tool
