#include "app/steps/local_check_step.h"

#include "services/unavailable.h"
#include "services/update_state.h"

namespace nm {

void LocalCheckStep(HWND window) {
    SetUpdateState(UpdateCheckLocal, window);
    LogUnavailable(L"The local check");
    SetUpdateState(UpdateCheckLocalError, window);
}

long FilesNeedingElevation() { return 0; }
void ClearFilesNeedingElevation() {}

bool ProbeWriteAccess(const std::wstring&) {
    LogUnavailable(L"The write-access probe");
    return false;
}

}  // namespace nm
