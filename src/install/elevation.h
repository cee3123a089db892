#pragma once
#include <windows.h>

namespace nm {

// Starts the updater again with raised rights and the elevation marker.
// True when the elevated copy was started.
bool RestartElevated(HWND owner);

}  // namespace nm
