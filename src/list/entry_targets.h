#pragma once
// Where a file entry of the list is installed.
#include <string>
#include <vector>

#include "list/list_entry.h"

namespace nm {

// The local target paths of a file entry, in order, at least one: its path
// (path macros expanded) under the application directory, or the
// destinations its dstname names.
std::vector<std::wstring> EntryTargets(const updatefileinfo& entry, const std::wstring& application_directory);

}  // namespace nm
