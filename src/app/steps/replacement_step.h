#pragma once
// The cycle's last step: the downloaded files into place, the list's tasks
// and run entries, the work directory cleared, and the fetched list kept as
// the comparison copy for the next check.
#include <windows.h>

#include "app/update_context.h"

namespace nm {

// From UpdateCheckLocalOk to UpdateCopyOk, or to UpdateCopyError when any
// file could not be put in place; the comparison copy then leaves those
// files out, so the next check finds exactly them again.
void ReplacementStep(UpdateContext& context, HWND window);

}  // namespace nm
