#pragma once
#include <string>

namespace nm {

// The rights tool ("{sys}\icacls.exe" expanded) when the settings switch the
// rights fix on and the tool is there; "" otherwise.
std::wstring RightsTool(bool switched_on, const std::wstring& application_directory);
// Starts the tool, hidden and without waiting, to give the local Users group
// the rights to delete and to change the access of the file.
void GrantUsersRights(const std::wstring& tool, const std::wstring& target);

}  // namespace nm
