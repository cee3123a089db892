#pragma once
#include <windows.h>

#include "app/update_context.h"

namespace nm {

// True when [UPDATEINFO] ListURL is set (storing the list's base address);
// otherwise offers to write a sample settings file when asking is allowed,
// then reports the missing address as status text and in the log.
bool EnsureListAddress(UpdateContext& context, HWND window, bool ask);

}  // namespace nm
