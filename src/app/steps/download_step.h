#pragma once
// The cycle's second step: every file that needs work into the list work
// directory, several at once, an archive variant tried first, each finished
// file marked by a trailing "_" so no later pass or run fetches it again.
#include <windows.h>

#include <string>

namespace nm {

// Sets UpdateDownload, then UpdateDownloadOk or UpdateDownloadError. A call
// after failures fetches only the files that failed.
void DownloadStep(HWND window);
// Files finished since the process started (fetched or found done).
long DownloadStepFinishedCount();
// One file (row -1 for the update list itself): 0 on success, 1 on failure.
int FetchFile(HWND window, long row, const std::wstring& url, const std::wstring& local_path, bool no_retry);

}  // namespace nm
