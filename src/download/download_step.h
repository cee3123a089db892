#pragma once
// The cycle's second step: every file that needs work into the list work directory.
#include <windows.h>

namespace nm {

// Sets UpdateDownload, then UpdateDownloadOk or UpdateDownloadError.
void DownloadStep(HWND window);
// Files the last download step finished (fetched or found already done).
long DownloadStepFinishedCount();

}  // namespace nm
