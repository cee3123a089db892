#include "install/copy_step.h"

#include "app/unavailable.h"
#include "app/update_state.h"

namespace nm {

void CopyStep(HWND window) {
    SetUpdateState(UpdateCopy, window);
    LogUnavailable(L"The copy step");
    SetUpdateState(UpdateCopyError, window);
}

}  // namespace nm
