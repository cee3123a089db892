#pragma once
#include <string>

namespace nm {

// Looks for an offline update package appended to the executable and hands
// it to the update list. True only when a package was processed.
bool ProcessOfflinePackage(const std::wstring& executable_path);

}  // namespace nm
