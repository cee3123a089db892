#pragma once
// The cycle's second step: every file that needs work into the list work
// directory, several at once, an archive variant tried first, each finished
// file marked by a trailing "_" so no later pass or run fetches it again.
#include <windows.h>

#include <string>

#include "app/update_context.h"

namespace nm {

// Sets UpdateDownload, then UpdateDownloadOk or UpdateDownloadError. A call
// right after a failed call fetches only the files that failed.
void DownloadStep(UpdateContext& context, HWND window);
// One file (row -1 for the update list itself); true when it arrived,
// otherwise `failure` says why, when given.
bool FetchFile(UpdateContext& context, HWND window, long row, const std::wstring& url, const std::wstring& local_path,
               bool no_retry, std::wstring* failure = nullptr);

}  // namespace nm
