// portable: builds without Win32
#pragma once
// Where an entry's file waits in the list work directory between the
// download and the replacement, and which entry paths are refused.
#include <optional>
#include <string>
#include <string_view>

#include "list/list_entry.h"

namespace nm {

// True when the path climbs above where it starts by "..": above the
// application directory for a relative path, above the folder a leading
// macro ("{sys}"), drive ("C:") or share ("\\server\share") names.
bool ClimbsOutOfItsRoot(std::wstring_view path);

// True when a file entry's path or one of its destination names climbs out
// of its root: such an entry is neither fetched nor installed.
bool EntryClimbsOut(const updatefileinfo& entry);

// The entry's path as a path relative to the list work directory, whatever
// it holds, so that a staged file never lands on an installed one: a drive
// "C:" becomes a folder "{C}", a share "\\server\share" the folders
// "{unc}\server\share", macros stay as folder names ("{app}"), "/" becomes
// "\", "." and empty pieces go. None for a path that climbs out by ".." or
// names no file.
std::optional<std::wstring> StagedRelativePath(std::wstring_view entry_path);

}  // namespace nm
