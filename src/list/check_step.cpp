#include "list/check_step.h"

#include "app/unavailable.h"
#include "app/update_cycle.h"

namespace nm {

bool CheckStep(HWND) {
    LogUnavailable(L"The check for updates");
    return false;
}

bool CheckByVersion(HWND window) {
    // Without a version page the check by version number is the full check.
    CheckWrapper(window, nullptr);
    return false;
}

bool CheckNeedsAnotherPass() { return false; }

}  // namespace nm
