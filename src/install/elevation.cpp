#include "install/elevation.h"

#include "services/unavailable.h"

namespace nm {

bool RestartElevated(HWND) {
    LogUnavailable(L"Restart with administrator rights");
    return false;
}

}  // namespace nm
