#include "download/download_step.h"

#include "app/unavailable.h"
#include "app/update_state.h"

namespace nm {

void DownloadStep(HWND window) {
    SetUpdateState(UpdateDownload, window);
    LogUnavailable(L"The download step");
    SetUpdateState(UpdateDownloadError, window);
}

long DownloadStepFinishedCount() { return 0; }

}  // namespace nm
