#include "download/download_progress.h"

#include "app/host_windows.h"
#include "app/named_lock.h"
#include "app/update_app.h"

namespace nm {

namespace {
constexpr long kLockFetching = 983041;
constexpr long kLockFinished = 983042;
constexpr long kLockFailed = 983043;
constexpr long kLockStatus = 983047;
constexpr long kLockEntryMessage = 983059;

void Send(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (window) ::SendMessageW(window, message, w, l);
}
}  // namespace

void NotifyFileFetching(HWND window, long row) {
    ScopedLock lock(kLockFetching);
    Send(window, UM_FILESTATE, row, kFileStateFetching);
}

void NotifyFileFinished(HWND window, long row) {
    ScopedLock lock(kLockFinished);
    Send(window, UM_FILESTATE, row, kFileStateFinished);
    Send(window, UM_FILETHREADS, row, 0);
}

void NotifyFileFailed(HWND window, long row) {
    ScopedLock lock(kLockFailed);
    Send(window, UM_FILESTATE, row, kFileStateFailed);
}

void NotifyDownloadStatus(HWND window, const std::wstring& text) {
    ScopedLock lock(kLockStatus);
    ShowStatusText(window, text, -1);
}

updatefileinfo TakeEntryForFetch(long row) {
    ScopedLock lock(kLockEntryMessage);
    auto& entry = theApp().list.entries.at(row);
    entry.message.clear();
    return entry;
}

void AppendEntryMessage(long row, const std::wstring& line) {
    ScopedLock lock(kLockEntryMessage);
    auto& entries = theApp().list.entries;
    if (row < 0 || row >= static_cast<long>(entries.size())) return;
    entries[row].message += line + L"\n";
}

}  // namespace nm
