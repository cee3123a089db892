#pragma once
// Most progress lines are shown and logged alike.
#include <windows.h>

#include <string>

namespace nm {

// The text as status text (to the window and the hosts), then to the log.
void ShowAndLog(HWND window, const std::wstring& text, LPARAM value = 0);

}  // namespace nm
