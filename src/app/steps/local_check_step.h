#pragma once
// The cycle's third step: the main program closed, and every file the update
// replaces writable, or else noted for the restart with raised rights.
#include <windows.h>

#include "app/update_context.h"

namespace nm {

// From UpdateDownloadOk (or UpdateCheckLocal) to UpdateCheckLocalOk or
// UpdateCheckLocalError. With a window, reports go there and the user is
// asked; without one, nobody is asked.
void LocalCheckStep(UpdateContext& context, HWND window);

}  // namespace nm
