#include "base/shell_start.h"

#include <shellapi.h>

#include "base/unique_handle.h"

namespace nm {

bool StartThroughShell(const ShellStart& start) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC | (start.wait ? SEE_MASK_NOCLOSEPROCESS : 0);
    info.lpVerb = start.verb;
    info.lpFile = start.file.c_str();
    info.lpParameters = start.parameters.empty() ? nullptr : start.parameters.c_str();
    info.lpDirectory = start.directory.empty() ? nullptr : start.directory.c_str();
    info.nShow = start.show;
    if (!::ShellExecuteExW(&info)) return false;
    unique_handle process(info.hProcess);
    // The longest wait there is: a program the update waits for may take as
    // long as it needs.
    if (start.wait && process) ::WaitForSingleObject(process.get(), 2147483647);
    return true;
}

}  // namespace nm
