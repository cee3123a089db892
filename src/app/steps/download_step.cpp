#include "app/steps/download_step.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "base/text.h"
#include "base/threads.h"
#include "base/unique_handle.h"
#include "base/url_text.h"
#include "download/download_progress.h"
#include "download/fetch_file.h"
#include "list/entry_targets.h"
#include "list/staged_path.h"
#include "services/process_services.h"
#include "services/log.h"
#include "services/update_state.h"

namespace nm {

namespace {
void WaitForAFile(DownloadTally& tally) {
    if (tally.file_ended)
        ::WaitForSingleObject(tally.file_ended.get(), 50);
    else
        ::Sleep(1);
}

long ErrorCount(DownloadTally& tally) {
    std::lock_guard guard(tally.failed_lock);
    return static_cast<long>(tally.failed.size());
}

void RefreshStatus(UpdateContext& context, HWND window) {
    DownloadTally& tally = context.download;
    const long entries = context.list.FileCount(), done = tally.finished, errors = ErrorCount(tally);
    const std::wstring text =
        errors == 0 ? text::Format(TranslateMain(L"Downloading, complete %d/%d, total thread %d ..."),
                                   {std::to_wstring(done), std::to_wstring(entries), std::to_wstring(tally.running)})
                    : text::Format(TranslateMain(L"Error %d files,complete %d/%d"),
                                   {std::to_wstring(errors), std::to_wstring(done), std::to_wstring(entries)});
    NotifyDownloadStatus(window, text);
    context.hosts.NotifyDownloaded(done, entries);
}

// Download status lines go through their own lock before the log.
void ShowAndLogDownloadStatus(HWND window, const std::wstring& text) {
    NotifyDownloadStatus(window, text);
    WriteLog(text);
}

std::wstring WorkDirectory(UpdateContext& context) {
    return context.list.temporary_directory.empty() ? context.settings.ListWorkDirectory()
                                                    : context.list.temporary_directory;
}

void FileWorker(UpdateContext& context, HWND window, long index, const FetchSettings& settings,
                const FinishedFileIndex& finished, ArchiveOutlook& archives) {
    DownloadTally& tally = context.download;
    const updatefileinfo entry = TakeEntryForFetch(context.list, index);
    if (!CarriesFile(entry)) {
        ++tally.finished;
        return;
    }
    NotifyFileFetching(window, index);
    const std::wstring url = context.list.EntryUrl(entry);
    // Staged inside the work directory whatever the entry's path holds; the
    // check refuses paths that would climb out of it.
    const std::optional<std::wstring> staged = StagedRelativePath(entry.path);
    const std::wstring local = staged ? text::CollapseSeparators(WorkDirectory(context) + L"\\" + *staged) : L"";
    // Only an entry that names patches has its installed file looked at.
    std::optional<FileFetcher::InstalledFile> installed;
    if (context.list.file_patches.count(entry.path))
        installed = FileFetcher::InstalledFile{entry.path,
                                               EntryTargets(entry, context.settings.ApplicationDirectory()).front()};
    std::wstring failure;
    if (!staged ||
        !FileFetcher(context.list, context.connection_try_count, settings, &finished, &archives)
             .Fetch(window, index, url, local, false, &entry.ver, &failure, installed ? &*installed : nullptr)) {
        // What was asked for and what came back, or why it could not be kept.
        const std::wstring line =
            text::Format(TranslateMain(L"error[%s]"), {entry.path}) + (failure.empty() ? L"" : L" " + failure);
        {
            std::lock_guard guard(tally.failed_lock);
            tally.failed.push_back(index);
            if (tally.first_failure.empty()) tally.first_failure = line;
        }
        NotifyFileFailed(window, index);
        WriteLog(line);
    } else {
        ++tally.finished;
        NotifyFileFinished(window, index);
        WriteLog(text::Format(TranslateMain(L"done[%s]"), {entry.path}));
    }
}
}  // namespace

void DownloadStep(UpdateContext& context, HWND window) {
    DownloadTally& tally = context.download;
    DownLoadList& list = context.list;
    // Only a call that follows a failed call of the same cycle continues its
    // counts and failed rows; any other call starts a new cycle, so a process
    // that runs many cycles (the tray) never ends a wait early on old counts
    // or fetches rows of a list that is gone.
    const bool continues_failed_call = CurrentUpdateState() == UpdateDownloadError;
    if (CurrentUpdateState() != UpdateDownload) SetUpdateState(UpdateDownload, window);
    list.progress_window = window;
    tally.running = 0;

    std::vector<long> work;
    {
        std::lock_guard guard(tally.failed_lock);
        if (continues_failed_call) work.swap(tally.failed);
        tally.failed.clear();
        tally.first_failure.clear();
    }
    // A row the list no longer has would end the process in its file thread.
    std::erase_if(work, [&](long row) { return row < 0 || row >= list.FileCount(); });
    const bool retrying = !work.empty();
    if (!retrying) {
        tally.finished = 0;
        for (long i = 0; i < list.FileCount(); ++i) work.push_back(i);
    }
    ShowAndLogDownloadStatus(
        window, TranslateMain(retrying ? L"Downloading error files..." : L"Downloading to temporary directory..."));

    const long start_count = tally.finished;
    FetchSettings settings = FetchSettings::Read();
    settings.rate_cap = DownloadRateCap::KibPerSecond(context.settings.DownloadRateCap(context.in_background));
    // Under a cap the cap sets the pace, not the link: one file over one
    // connection keeps up with it, where every further connection would only
    // have the server fill its socket buffers ahead of the cap.
    if (settings.rate_cap) settings.connections_per_file = 1;
    const long files_at_once = settings.rate_cap ? 1 : FilesAtOnce();
    // Shared by the file threads, and kept alive by each until it ends.
    const auto finished = std::make_shared<const FinishedFileIndex>(WorkDirectory(context));
    const auto archives = std::make_shared<ArchiveOutlook>();
    for (size_t position = 0; position < work.size(); ++position) {
        ++tally.running;
        RefreshStatus(context, window);
        const long index = work[position];
        // The context outlives every file thread: the step waits for them all.
        const bool started = StartOnReusedThread([&context, window, index, settings, finished, archives] {
            FileWorker(context, window, index, settings, *finished, *archives);
            --context.download.running;
            RefreshStatus(context, window);
            ::SetEvent(context.download.file_ended.get());
        });
        if (!started) {
            --tally.running;
            std::lock_guard guard(tally.failed_lock);
            tally.failed.push_back(index);
        }
        while (static_cast<long>(position + 1) - (tally.finished - start_count) - ErrorCount(tally) >= files_at_once)
            WaitForAFile(tally);
    }
    const long entries = list.FileCount();
    while (ErrorCount(tally) + tally.finished < entries) WaitForAFile(tally);

    SetUpdateState(tally.finished >= entries ? UpdateDownloadOk : UpdateDownloadError, window);
    RefreshStatus(context, window);
    const long errors = ErrorCount(tally);
    const std::wstring done = std::to_wstring(tally.finished.load()), total = std::to_wstring(entries);
    if (errors == 0) {
        ShowAndLogDownloadStatus(window, text::Format(TranslateMain(L"Download completed %d/%d."), {done, total}));
        return;
    }
    const std::wstring summary =
        text::Format(TranslateMain(L"Error %d files,complete %d/%d"), {std::to_wstring(errors), done, total});
    ShowAndLogDownloadStatus(window, summary);
    std::lock_guard guard(tally.failed_lock);
    context.failure = tally.first_failure.empty() ? summary : summary + L"\r\n" + tally.first_failure;
}

bool FetchFile(UpdateContext& context, HWND window, long row, const std::wstring& url, const std::wstring& local,
               bool no_retry, std::wstring* failure) {
    return FileFetcher(context.list, context.connection_try_count, FetchSettings::Read())
        .Fetch(window, row, url, local, no_retry, nullptr, failure);
}

}  // namespace nm
