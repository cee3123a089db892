#pragma once
// Old files that could not be deleted when they were replaced (a running
// program, a loaded library) are moved aside and listed in __oldfiles.lst in
// the application directory; the next start deletes them.
#include <string>

namespace nm {

// The list's path in an application directory.
std::wstring OldFilesList(const std::wstring& application_directory);
// Appends one moved-aside file to the list. Failures are ignored.
void RecordOldFile(const std::wstring& list_file, const std::wstring& path);
// Deletes every listed file that still exists; when all are gone, the list
// goes too, otherwise it stays for the next start.
void CleanOldFiles(const std::wstring& list_file);

}  // namespace nm
