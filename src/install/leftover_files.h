#pragma once
#include <string>

namespace nm {

// Deletes the files an earlier replacement moved aside (__oldfiles.lst).
void CleanUpLeftovers();
// Removes a directory with all its content.
bool RemoveDirectoryTree(const std::wstring& directory);

}  // namespace nm
