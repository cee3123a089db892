#include "app/steps/download_step.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "app/update_app.h"
#include "base/text.h"
#include "base/threads.h"
#include "base/unique_handle.h"
#include "base/url_text.h"
#include "download/download_progress.h"
#include "download/fetch_file.h"
#include "list/staged_path.h"
#include "services/log.h"
#include "services/update_state.h"

namespace nm {

namespace {
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

std::wstring WorkDirectory() {
    CUpdateApp& app = theApp();
    return app.list.temporary_directory.empty() ? app.settings.ListWorkDirectory() : app.list.temporary_directory;
}

void FileWorker(HWND window, long index, const FetchSettings& settings, const FinishedFileIndex& finished,
                ArchiveOutlook& archives) {
    CUpdateApp& app = theApp();
    const updatefileinfo entry = TakeEntryForFetch(app.list, index);
    if (!CarriesFile(entry)) {
        ++done_count;
        return;
    }
    NotifyFileFetching(window, index);
    const std::wstring url = EntryUrl(entry);
    // Staged inside the work directory whatever the entry's path holds; the
    // check refuses paths that would climb out of it.
    const std::optional<std::wstring> staged = StagedRelativePath(entry.path);
    const std::wstring local = staged ? text::CollapseSeparators(WorkDirectory() + L"\\" + *staged) : L"";
    if (!staged || FileFetcher(app.list, app.connection_try_count, settings, &finished, &archives)
                           .Fetch(window, index, url, local, false, &entry.ver) != 0) {
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
    // Only a call that follows a failed call of the same cycle continues its
    // counts and failed rows; any other call starts a new cycle, so a process
    // that runs many cycles (the tray) never ends a wait early on old counts
    // or fetches rows of a list that is gone.
    const bool continues_failed_call = CurrentUpdateState() == UpdateDownloadError;
    if (CurrentUpdateState() != UpdateDownload) SetUpdateState(UpdateDownload, window);
    app.list.progress_window = window;
    running_count = 0;

    std::vector<long> work;
    {
        std::lock_guard guard(error_lock);
        if (continues_failed_call) work.swap(error_list);
        error_list.clear();
    }
    // A row the list no longer has would end the process in its file thread.
    std::erase_if(work, [&](long row) { return row < 0 || row >= app.list.FileCount(); });
    const bool retrying = !work.empty();
    if (!retrying) {
        done_count = 0;
        for (long i = 0; i < app.list.FileCount(); ++i) work.push_back(i);
    }
    ShowAndLogDownloadStatus(window, TranslateMain(retrying ? L"Downloading error files..." : L"Downloading to temporary directory..."));

    const long start_count = done_count;
    const long files_at_once = FilesAtOnce();
    const FetchSettings settings = FetchSettings::Read();
    // Shared by the file threads, and kept alive by each until it ends.
    const auto finished = std::make_shared<const FinishedFileIndex>(WorkDirectory());
    const auto archives = std::make_shared<ArchiveOutlook>();
    for (size_t position = 0; position < work.size(); ++position) {
        ++running_count;
        RefreshStatus(window);
        const long index = work[position];
        const bool started = StartOnReusedThread([window, index, settings, finished, archives] {
            FileWorker(window, index, settings, *finished, *archives);
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
    return FileFetcher(app.list, app.connection_try_count, FetchSettings::Read())
        .Fetch(window, row, url, local, no_retry);
}

}  // namespace nm
