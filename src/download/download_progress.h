#pragma once
// The per-file progress notifications of the download step. Each takes its
// own numbered lock around its messages, so rows never see them interleaved.
#include <windows.h>

#include <string>

#include "download/segmented_download.h"
#include "list/download_list.h"

namespace nm {

constexpr UINT UM_FILESTATE = 1067;

constexpr LPARAM kFileStateFetching = 8;
constexpr LPARAM kFileStateFinished = 7;
constexpr LPARAM kFileStateFailed = 0;

void NotifyFileFetching(HWND window, long row);
void NotifyFileFinished(HWND window, long row);
void NotifyFileFailed(HWND window, long row);
void NotifyDownloadStatus(HWND window, const std::wstring& text);
// A copy of an entry, its message text cleared first (in the list as well).
updatefileinfo TakeEntryForFetch(long row);
// Appends a line to an entry's message text; a row outside the list appends nothing.
void AppendEntryMessage(long row, const std::wstring& line);

}  // namespace nm
