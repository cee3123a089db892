#include "download/download_progress.h"

#include "services/host_windows.h"
#include "services/process_lock.h"
#include "services/process_services.h"

namespace nm {

namespace {
void Send(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (window) ::SendMessageW(window, message, w, l);
}
}  // namespace

// Without a window the notifications below send nothing, and their locks
// would guard nothing.
void NotifyFileFetching(HWND window, long row) {
    if (!window) return;
    ScopedLock lock(ProcessLock::FileFetching);
    Send(window, UM_FILESTATE, row, kFileStateFetching);
}

void NotifyFileFinished(HWND window, long row) {
    if (!window) return;
    ScopedLock lock(ProcessLock::FileFinished);
    Send(window, UM_FILESTATE, row, kFileStateFinished);
    Send(window, UM_FILETHREADS, row, 0);
}

void NotifyFileFailed(HWND window, long row) {
    if (!window) return;
    ScopedLock lock(ProcessLock::FileFailed);
    Send(window, UM_FILESTATE, row, kFileStateFailed);
}

void NotifyDownloadStatus(HWND window, const std::wstring& text) {
    if (!window && Services().hosts.Windows().empty()) return;
    ScopedLock lock(ProcessLock::DownloadStatus);
    ShowStatusText(window, text, -1);
}

updatefileinfo TakeEntryForFetch(DownLoadList& list, long row) {
    ScopedLock lock(ProcessLock::EntryMessage);
    auto& entry = list.entries.at(row);
    entry.message.clear();
    return entry;
}

void AppendEntryMessage(DownLoadList& list, long row, const std::wstring& line) {
    ScopedLock lock(ProcessLock::EntryMessage);
    if (row < 0 || row >= list.FileCount()) return;
    list.entries[row].message += line + L"\n";
}

}  // namespace nm
