#pragma once
#include <string>

namespace nm {

// Loads a library, calls its DllRegisterServer when it exports one, and
// unloads it. True when the entry point ran and reported success.
bool RegisterLibrary(const std::wstring& path);

}  // namespace nm
