// posix: the tool's scratch folder under $TMPDIR (else /tmp), named by the process.
#include <unistd.h>

#include <cstdlib>

#include "base/text.h"
#include "tool/scratch_folder.h"

namespace nm::tool {

std::wstring ScratchFolderPath(const std::wstring& command) {
    const char* temp = std::getenv("TMPDIR");
    const std::wstring folder = text::FromUtf8(temp && *temp ? temp : "/tmp");
    return text::CollapseSeparators(folder + L"\\novamend-" + command + L"-" + std::to_wstring(::getpid()));
}

}  // namespace nm::tool
