#pragma once
// Where the running program lies.
#include <string>

namespace nm {

// The full path of the running executable, of any length.
std::wstring ExecutablePath();
// Its folder, with a trailing "\".
std::wstring ExecutableDirectory();

}  // namespace nm
