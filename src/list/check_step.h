#pragma once
// The cycle's first step: fetch the update list, compare it with the copy
// kept after the last update, keep the entries that need work.
#include <windows.h>

namespace nm {

// The check itself; true when the list was fetched, read and compared.
bool CheckStep(HWND window);
// The check by version number: compares the version page first when
// [APPLICATION] CheckVerNumber is on, otherwise runs the check wrapper.
bool CheckByVersion(HWND window);
// Whether a version check found mirror addresses that need another pass.
bool CheckNeedsAnotherPass();

}  // namespace nm
