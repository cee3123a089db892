#pragma once
// Path and parameter macros over the real shell folders and settings.
#include <string>
#include <vector>

#include "list/list_entry.h"

#include "list/path_macros_rules.h"

namespace nm {

path_macros::FolderResolver SystemFolders();
std::wstring ExpandPathMacros(const std::wstring& text);
std::wstring MakeLocalPath(const std::wstring& base, const std::wstring& path);
std::wstring ExpandListParameters(const std::wstring& address);
// The local target paths of a file entry, in order, at least one.
std::vector<std::wstring> EntryTargets(const updatefileinfo& entry);

}  // namespace nm
