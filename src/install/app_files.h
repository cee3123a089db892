#pragma once
// File operations of the replacement step and the actions, over the
// application directory.
#include <string>

namespace nm {

// A path without ":" is taken relative to the application directory; the
// file's attributes are cleared and it is deleted. True when deleted.
bool DeleteAppFile(const std::wstring& path, const std::wstring& application_directory);
// Moves an existing file onto another path, first deleting what is there,
// each step tried up to 20 times 800 ms apart. True when the new path exists.
bool MoveWithRetry(const std::wstring& existing, const std::wstring& new_path);
// Moves every file below source to the same place below destination, never
// replacing a file there and never creating folders; then removes the source
// folders that are left empty.
void MoveTree(const std::wstring& source, const std::wstring& destination);

}  // namespace nm
