#include "install/run_file.h"

#include "app/unavailable.h"

namespace nm {

bool RunFile(const std::wstring& command_line, HWND, bool) {
    LogUnavailable(L"Running \"" + command_line + L"\"");
    return false;
}

}  // namespace nm
