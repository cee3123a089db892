#pragma once
#include <windows.h>

#include <string>

namespace nm {

// Starts a command line (program and parameters), optionally waiting until
// it ends. True when the program was started.
bool RunFile(const std::wstring& command_line, HWND window, bool wait);

}  // namespace nm
