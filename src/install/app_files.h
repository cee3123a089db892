#pragma once
// File operations of the actions over the application directory.
#include <string>

namespace nm {

// A path without ":" is taken relative to the application directory; the
// file's attributes are cleared and it is deleted. True when deleted.
bool DeleteAppFile(const std::wstring& path, const std::wstring& application_directory);

}  // namespace nm
