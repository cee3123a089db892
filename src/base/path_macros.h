#pragma once
// Path macros over the real shell folders: {app}, {sys}, {desktop} ... The
// application directory is the caller's to give.
#include <string>

#include "base/path_macros_rules.h"

namespace nm {

path_macros::FolderResolver SystemFolders(const std::wstring& application_directory);
std::wstring ExpandPathMacros(const std::wstring& text, const std::wstring& application_directory);
// The expanded path when it is absolute, else base + "\" + expanded path.
std::wstring MakeLocalPath(const std::wstring& base, const std::wstring& path,
                           const std::wstring& application_directory);

}  // namespace nm
