#pragma once
// The cycle's last step: new files into place, the list's actions, the
// comparison copy saved.
#include <windows.h>

namespace nm {

void CopyStep(HWND window);

}  // namespace nm
