#include "app/steps/download_step.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "app/update_app.h"
#include "base/path_macros.h"
#include "base/text.h"
#include "base/threads.h"
#include "base/unique_handle.h"
#include "base/url_text.h"
#include "download/download_progress.h"
#include "download/fetch_file.h"
#include "services/log.h"
#include "services/update_state.h"

namespace nm {

namespace {
// Entries that are never fetched: deletions (2), 0x10, 0x20, and the run and
// description markers.
constexpr unsigned long kNotFetchedFlags = 0x2 | 0x10 | 0x20 | 0x7F000000;

// Process-wide counters shared by the file threads.
std::atomic<long> done_count{0};
std::atomic<long> running_count{0};
std::mutex error_lock;
std::vector<long> error_list;

// Set whenever a file thread ends, so the step's waits wake at once instead
// of at their next poll.
HANDLE FileEnded() {
    static unique_handle event(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    return event.get();
}

void WaitForAFile() {
    if (FileEnded()) ::WaitForSingleObject(FileEnded(), 50);
    else ::Sleep(1);
}

long ErrorCount() {
    std::lock_guard guard(error_lock);
    return static_cast<long>(error_list.size());
}

void RefreshStatus(HWND window) {
    CUpdateApp& app = theApp();
    const long entries = app.list.FileCount(), done = done_count, errors = ErrorCount();
    const std::wstring text =
        errors == 0 ? text::Format(TranslateMain(L"Downloading, complete %d/%d, total thread %d ..."),
                                   {std::to_wstring(done), std::to_wstring(entries), std::to_wstring(running_count)})
                    : text::Format(TranslateMain(L"Error %d files,complete %d/%d"),
                                   {std::to_wstring(errors), std::to_wstring(done), std::to_wstring(entries)});
    NotifyDownloadStatus(window, text);
    app.hosts.NotifyDownloaded(done, entries);
}

// Download status lines go through their own lock before the log.
void ShowAndLogDownloadStatus(HWND window, const std::wstring& text) {
    NotifyDownloadStatus(window, text);
    WriteLog(text);
}

std::wstring EntryUrl(const updatefileinfo& entry) {
    if (!entry.url.empty()) return entry.url;
    const DownLoadList& list = theApp().list;
    std::wstring url = text::ReplaceAll(list.url_template, L"{listurl-base}", list.list_url_base);
    return NormaliseUrlSlashes(text::ReplaceAll(url, L"{filename}", entry.path));
}

void FileWorker(HWND window, long index) {
    CUpdateApp& app = theApp();
    const updatefileinfo entry = TakeEntryForFetch(app.list, index);
    if (entry.flags & kNotFetchedFlags) {
        ++done_count;
        return;
    }
    NotifyFileFetching(window, index);
    const std::wstring url = EntryUrl(entry);
    const std::wstring local =
        MakeLocalPath(app.settings.ListWorkDirectory(), entry.path, app.settings.ApplicationDirectory());
    if (FetchFile(window, index, url, local, false) != 0) {
        {
            std::lock_guard guard(error_lock);
            error_list.push_back(index);
        }
        NotifyFileFailed(window, index);
        WriteLog(text::Format(TranslateMain(L"error[%s]"), {entry.path}));
    } else {
        ++done_count;
        NotifyFileFinished(window, index);
        WriteLog(text::Format(TranslateMain(L"done[%s]"), {entry.path}));
    }
}
}  // namespace

long DownloadStepFinishedCount() { return done_count; }

void DownloadStep(HWND window) {
    CUpdateApp& app = theApp();
    if (CurrentUpdateState() != UpdateDownload) SetUpdateState(UpdateDownload, window);
    app.list.progress_window = window;
    running_count = 0;

    std::vector<long> work;
    {
        std::lock_guard guard(error_lock);
        work.swap(error_list);
    }
    const bool retrying = !work.empty();
    if (!retrying)
        for (long i = 0; i < app.list.FileCount(); ++i) work.push_back(i);
    ShowAndLogDownloadStatus(window, TranslateMain(retrying ? L"Downloading error files..." : L"Downloading to temporary directory..."));

    const long start_count = done_count;
    const long files_at_once = FilesAtOnce();
    for (size_t position = 0; position < work.size(); ++position) {
        ++running_count;
        RefreshStatus(window);
        const long index = work[position];
        const bool started = StartDetached([window, index] {
            FileWorker(window, index);
            --running_count;
            RefreshStatus(window);
            ::SetEvent(FileEnded());
        });
        if (!started) {
            --running_count;
            std::lock_guard guard(error_lock);
            error_list.push_back(index);
        }
        while (static_cast<long>(position + 1) - (done_count - start_count) - ErrorCount() >= files_at_once)
            WaitForAFile();
    }
    const long entries = app.list.FileCount();
    while (ErrorCount() + done_count < entries) WaitForAFile();

    SetUpdateState(done_count >= entries ? UpdateDownloadOk : UpdateDownloadError, window);
    RefreshStatus(window);
    const long errors = ErrorCount();
    ShowAndLogDownloadStatus(window, errors == 0 ? text::Format(TranslateMain(L"Download completed %d/%d."),
                                                  {std::to_wstring(done_count.load()), std::to_wstring(entries)})
                                   : text::Format(TranslateMain(L"Error %d files,complete %d/%d"),
                                                  {std::to_wstring(errors), std::to_wstring(done_count.load()),
                                                   std::to_wstring(entries)}));
}

int FetchFile(HWND window, long row, const std::wstring& url, const std::wstring& local, bool no_retry) {
    CUpdateApp& app = theApp();
    return FileFetcher(app.list, app.connection_try_count).Fetch(window, row, url, local, no_retry);
}

}  // namespace nm
