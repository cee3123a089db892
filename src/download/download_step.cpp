#include "download/download_step.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "app/host_windows.h"
#include "app/log.h"
#include "app/update_app.h"
#include "app/update_state.h"
#include "base/file_ops.h"
#include "base/text.h"
#include "base/threads.h"
#include "download/download_progress.h"
#include "download/segmented_download.h"
#include "install/zip_package.h"
#include "list/path_macros.h"
#include "list/url_text.h"

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

long ErrorCount() {
    std::lock_guard guard(error_lock);
    return static_cast<long>(error_list.size());
}

std::wstring Translate(const wchar_t* text) { return theApp().language.Translate(L"MAIN", text); }

void RefreshStatus(HWND window) {
    CUpdateApp& app = theApp();
    const long entries = app.list.FileCount(), done = done_count, errors = ErrorCount();
    const std::wstring text =
        errors == 0 ? text::Format(Translate(L"Downloading, complete %d/%d, total thread %d ..."),
                                   {std::to_wstring(done), std::to_wstring(entries), std::to_wstring(running_count)})
                    : text::Format(Translate(L"Error %d files,complete %d/%d"),
                                   {std::to_wstring(errors), std::to_wstring(done), std::to_wstring(entries)});
    NotifyDownloadStatus(window, text);
    app.hosts.NotifyDownloaded(done, entries);
}

// Download status lines go through their own lock before the log.
void ShowAndLogDownloadStatus(HWND window, const std::wstring& text) {
    NotifyDownloadStatus(window, text);
    WriteLog(text);
}

long ClampedSetting(const wchar_t* key, long low, long high) {
    return std::clamp(theApp().settings.ReadInteger(L"Novamend", key, L"8"), low, high);
}

std::wstring EntryUrl(const updatefileinfo& entry) {
    if (!entry.url.empty()) return entry.url;
    const DownLoadList& list = theApp().list;
    std::wstring url = text::ReplaceAll(list.url_template, L"{listurl-base}", list.list_url_base);
    return NormaliseUrlSlashes(text::ReplaceAll(url, L"{filename}", entry.path));
}

// One download attempt through the segmented downloader: 0 on success.
int DownloadOnce(HWND window, long row, const std::wstring& url, const std::wstring& target, bool no_retry) {
    CSegmentedDownloader downloader;
    downloader.connections = ConnectionsPerFile();
    const bool ok = downloader.DownloadFile(url, target, no_retry, row, window);
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!ok) ::DeleteFileW(target.c_str());
    return ok ? 0 : 1;
}

void FileWorker(HWND window, long index) {
    CUpdateApp& app = theApp();
    const updatefileinfo entry = TakeEntryForFetch(index);
    if (entry.flags & kNotFetchedFlags) {
        ++done_count;
        return;
    }
    NotifyFileFetching(window, index);
    const std::wstring url = EntryUrl(entry);
    const std::wstring local = MakeLocalPath(app.settings.ListWorkDirectory(), entry.path);
    if (FetchFile(window, index, url, local, false) != 0) {
        {
            std::lock_guard guard(error_lock);
            error_list.push_back(index);
        }
        NotifyFileFailed(window, index);
        WriteLog(text::Format(Translate(L"error[%s]"), {entry.path}));
    } else {
        ++done_count;
        NotifyFileFinished(window, index);
        WriteLog(text::Format(Translate(L"done[%s]"), {entry.path}));
    }
}
}  // namespace

long FilesAtOnce() { return ClampedSetting(L"threadcount", 1, 50); }
long ConnectionsPerFile() { return ClampedSetting(L"filethread", 1, 100); }
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
    ShowAndLogDownloadStatus(window, Translate(retrying ? L"Downloading error files..." : L"Downloading to temporary directory..."));

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
        });
        if (!started) {
            --running_count;
            std::lock_guard guard(error_lock);
            error_list.push_back(index);
        }
        while (static_cast<long>(position + 1) - (done_count - start_count) - ErrorCount() >= files_at_once)
            ::Sleep(1);
    }
    const long entries = app.list.FileCount();
    while (ErrorCount() + done_count < entries) ::Sleep(1);

    SetUpdateState(done_count >= entries ? UpdateDownloadOk : UpdateDownloadError, window);
    RefreshStatus(window);
    const long errors = ErrorCount();
    ShowAndLogDownloadStatus(window, errors == 0 ? text::Format(Translate(L"Download completed %d/%d."),
                                                  {std::to_wstring(done_count.load()), std::to_wstring(entries)})
                                   : text::Format(Translate(L"Error %d files,complete %d/%d"),
                                                  {std::to_wstring(errors), std::to_wstring(done_count.load()),
                                                   std::to_wstring(entries)}));
}

int FetchFile(HWND window, long row, const std::wstring& url, const std::wstring& local, bool no_retry) {
    CUpdateApp& app = theApp();
    const std::wstring finished = local + L"_";
    if (row >= 0 && files::Exists(finished)) {
        const LPARAM size = static_cast<LPARAM>(files::Size(finished));
        if (window) {
            ::SendMessageW(window, UM_FILESIZE, row, size);
            ::SendMessageW(window, UM_FILEDONE, row, size);
        }
        return 0;
    }
    files::CreateParentDirectories(local);

    bool archive = row >= 0 || app.settings.ReadSwitch(L"Novamend", L"ListFileZip", L"0");
    const std::wstring archive_path = local + L"._.zip";
    for (int attempt = 0; attempt < 2; ++attempt, archive = !archive) {
        const std::wstring source = archive ? url + L"._.zip" : url;
        const std::wstring destination = archive ? archive_path : local;
        if (DownloadOnce(window, row, source, destination, no_retry) != 0) {
            AppendEntryMessage(row, text::Format(Translate(L"error[%s]"), {source}));
            ::DeleteFileW(destination.c_str());
            continue;
        }
        if (row < 0) app.settings.Write(L"Novamend", L"ListFileZip", archive ? L"1" : L"0");
        AppendEntryMessage(row, text::Format(Translate(L"done[%s]"), {source}));
        if (!archive) {
            if (row >= 0) files::ReplaceWithRetries(local, finished);
            return 0;
        }
        if (row >= 0 && !app.settings.ReadSwitch(L"Novamend", L"UnZip", L"1")) {
            // The archive stays as it is; there is no plain file to mark.
            if (files::Exists(local)) files::ReplaceWithRetries(local, finished);
            return 0;
        }
        if (ExtractArchive(archive_path, local)) {
            if (row >= 0) files::ReplaceWithRetries(local, finished);
            AppendEntryMessage(row, text::Format(Translate(L"unzip ok[%s]"), {archive_path}));
            ::DeleteFileW(archive_path.c_str());
            return 0;
        }
        AppendEntryMessage(row, text::Format(Translate(L"unzip error[%s]"), {archive_path}));
        ::DeleteFileW(archive_path.c_str());
        ::DeleteFileW(local.c_str());
        // The next attempt takes the plain file.
    }
    return 1;
}

}  // namespace nm
