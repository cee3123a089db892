#include "install/users_rights.h"

#include <windows.h>

#include "base/file_ops.h"
#include "base/path_macros.h"
#include "base/shell_start.h"
#include "base/unique_handle.h"

namespace nm {

std::wstring RightsTool(bool switched_on, const std::wstring& application_directory) {
    if (!switched_on) return {};
    const std::wstring tool = ExpandPathMacros(L"{sys}\\icacls.exe", application_directory);
    return files::Exists(tool) ? tool : std::wstring();
}

void GrantUsersRights(const std::wstring& tool, const std::wstring& target) {
    if (tool.empty()) return;
    const std::wstring parameters = L"\"" + target + L"\" /grant Users:(D,WDAC)";
    StartThroughShell({L"open", tool, parameters, L"", SW_HIDE, false});
}

}  // namespace nm
