#include "app/steps/replacement_step.h"

#include "services/unavailable.h"
#include "services/update_state.h"

namespace nm {

void CopyStep(HWND window) {
    SetUpdateState(UpdateCopy, window);
    LogUnavailable(L"The copy step");
    SetUpdateState(UpdateCopyError, window);
}

}  // namespace nm
