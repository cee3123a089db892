#include "install/users_rights.h"

#include <windows.h>
#include <shellapi.h>

#include "base/file_ops.h"
#include "base/path_macros.h"
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
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = tool.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_HIDE;
    ::ShellExecuteExW(&info);
}

}  // namespace nm
