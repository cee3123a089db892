#pragma once
// The cycle's third step: the main program closed, and every file the update
// replaces writable, or else noted for the restart with raised rights.
#include <windows.h>

namespace nm {

// From UpdateDownloadOk (or UpdateCheckLocal) to UpdateCheckLocalOk or
// UpdateCheckLocalError. With a window, reports go there and the user is
// asked; without one, nobody is asked.
void LocalCheckStep(HWND window);
// True when the main program is not running (or was closed) and no file is locked.
bool PreCopyCheck(HWND window, bool ask);
// True when no target file of the list's entries is locked.
bool CheckLockedFiles(HWND window, bool ask);

}  // namespace nm
