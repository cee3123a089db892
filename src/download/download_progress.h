#pragma once
// The per-file progress notifications of the download step. Each takes its
// own process lock around its messages, so rows never see them interleaved.
#include <windows.h>

#include <string>

#include "list/download_list.h"
#include "services/window_messages.h"

namespace nm {

void NotifyFileFetching(HWND window, long row);
void NotifyFileFinished(HWND window, long row);
void NotifyFileFailed(HWND window, long row);
void NotifyDownloadStatus(HWND window, const std::wstring& text);
// A copy of an entry, its message text cleared first (in the list as well).
updatefileinfo TakeEntryForFetch(DownLoadList& list, long row);
// Appends a line to an entry's message text; a row outside the list appends nothing.
void AppendEntryMessage(DownLoadList& list, long row, const std::wstring& line);

}  // namespace nm
