#include "download/fetch_file.h"

#include <algorithm>
#include <optional>

#include "base/file_ops.h"
#include "base/text.h"
#include "download/download_progress.h"
#include "download/expected_content.h"
#include "download/finished_file.h"
#include "download/first_request.h"
#include "download/patched_file.h"
#include "download/segmented_download.h"
#include "download/transfer_rules.h"
#include "install/zip_package.h"
#include "list/list_signature.h"
#include "services/log.h"
#include "services/process_lock.h"
#include "services/process_services.h"

namespace nm {

namespace {
long ClampedSetting(const wchar_t* key, long low, long high) {
    return std::clamp(Services().settings.ReadInteger(L"Novamend", key, L"8"), low, high);
}

std::wstring Note(const wchar_t* format, const std::wstring& what) {
    return text::Format(TranslateMain(format), {what});
}
}  // namespace

std::wstring FileFetcher::EntryVersion(long row) const {
    ScopedLock lock(ProcessLock::EntryMessage);
    return row >= 0 && row < list_.FileCount() ? list_.entries[row].ver : std::wstring();
}

long FilesAtOnce() { return ClampedSetting(L"threadcount", 1, 50); }

FetchSettings FetchSettings::Read() {
    FetchSettings settings;
    settings.connections_per_file = ClampedSetting(L"filethread", 1, 100);
    settings.list_key_in_force = !ListPublicKeySetting().empty();
    return settings;
}

// One download attempt through the segmented downloader.
bool FileFetcher::DownloadOnce(HWND window, long row, const std::wstring& url, const std::wstring& target,
                               bool no_retry, const std::wstring& complete_path, std::int64_t size_limit,
                               FirstRequestAhead* ahead, std::function<void(bool found)> on_first_answer,
                               std::wstring& failure) const {
    CSegmentedDownloader downloader;
    downloader.complete_path = complete_path;
    downloader.ahead = ahead;
    downloader.on_first_answer = std::move(on_first_answer);
    downloader.connections = settings_.connections_per_file;
    downloader.connect_tries = connect_tries_;
    downloader.rate_cap = settings_.rate_cap.get();
    downloader.size_limit = size_limit;
    downloader.on_file_bytes = [](std::int64_t size, std::int64_t received) {
        Services().hosts.NotifyFileBytes(size, received);
    };
    // A failed download leaves no target behind; a finished one has its
    // attributes set to normal by the downloader.
    if (downloader.DownloadFile(url, target, no_retry, row, window)) return true;
    failure = url + downloader.failure();
    return false;
}

bool FileFetcher::Fetch(HWND window, long row, const std::wstring& url, const std::wstring& local, bool no_retry,
                        const std::wstring* entry_version, std::wstring* failure,
                        const InstalledFile* installed) const {
    std::wstring why;
    // Said on every way out that fails.
    auto failed = [&] {
        if (failure) *failure = why;
        return false;
    };
    Settings& settings = Services().settings;
    const std::wstring version = entry_version ? *entry_version : EntryVersion(row);
    // Only the bytes the list names may stand as finished (a server that
    // answers a missing file with an error page of its own gets no further).
    const ExpectedContent expected = ExpectedContentOf(list_, row, settings_.list_key_in_force);
    auto content_refused = [&](const std::wstring& path, const std::wstring& source) {
        if (HasExpectedContent(expected, path)) return false;
        // Under a key an entry without sha256 is refused as such, whatever size it gives.
        const bool unnamed = settings_.list_key_in_force && !expected.known;
        const wchar_t* what = !unnamed && expected.size && files::Size(path) != expected.size ? L"size mismatch[%s]"
                              : expected.known                                                ? L"sha256 mismatch[%s]"
                                                                                              : L"no sha256[%s]";
        const std::wstring note = Note(what, source);
        AppendEntryMessage(list_, row, note);
        WriteLog(note);
        why = note;
        files::Delete(path);
        return true;
    };
    // A signed list names every file's bytes; a file it does not is not fetched.
    if (row >= 0 && settings_.list_key_in_force && !expected.known) {
        content_refused(local, url);  // says why; nothing is fetched
        return failed();
    }
    // Most files have no finished copy yet; looking for a name that is not
    // there is costly under some file systems, so the step's listing answers
    // where it can, and otherwise that is asked once.
    if (row >= 0 && (!finished_ || finished_->MayHold(local)) && files::Exists(FinishedPath(local))) {
        if (IsFinishedFor(local, version) && !content_refused(FinishedPath(local), url)) {
            const LPARAM size = static_cast<LPARAM>(files::Size(FinishedPath(local)).value_or(0));
            if (window) {
                ::SendMessageW(window, UM_FILESIZE, row, size);
                ::SendMessageW(window, UM_FILEDONE, row, size);
            }
            return true;
        }
        // Left by a cycle for another version: fetched anew.
        DiscardFinished(local);
    }
    // From here no note of an earlier finished file is left.
    files::CreateParentDirectories(local);
    if (row >= 0 && installed &&
        FetchThroughPatch(list_, row, installed->entry_path, installed->installed, local, version, settings_,
                          connect_tries_, window))
        return true;

    // No server may send more than the list gives a file, nor endless bytes
    // for the list itself.
    const std::int64_t size_limit = row < 0 ? transfer::kListSizeLimit : expected.size.value_or(-1);
    bool archive = row >= 0 || settings.ReadSwitch(L"Novamend", L"ListFileZip", L"0");
    const std::wstring archive_path = local + L"._.zip";
    // The archive's answer still decides; the plain file's merely need not
    // wait for it.
    std::optional<FirstRequestAhead> plain_ahead;
    if (archive && archives_ && archives_->ExpectMissing() && !no_retry && settings_.connections_per_file >= 2)
        plain_ahead.emplace(url, connect_tries_);
    auto archive_answered = [&](bool found) {
        if (archives_) archives_->Saw(found);
        if (found) plain_ahead.reset();
    };
    // When both fail, the plain file's failure is the one that tells: its archive is optional.
    std::wstring plain_why;
    for (int attempt = 0; attempt < 2; ++attempt, archive = !archive) {
        const std::wstring source = archive ? url + L"._.zip" : url;
        const std::wstring destination = archive ? archive_path : local;
        // An entry's plain file goes straight to its finished name.
        const bool straight_to_finished = !archive && row >= 0;
        const std::wstring fetched = straight_to_finished ? FinishedPath(local) : destination;
        if (!DownloadOnce(window, row, source, destination, no_retry, straight_to_finished ? fetched : L"",
                          archive ? transfer::ArchiveSizeLimit(size_limit) : size_limit,
                          archive || !plain_ahead ? nullptr : &*plain_ahead,
                          archive ? std::function<void(bool)>(archive_answered) : nullptr, why)) {
            AppendEntryMessage(list_, row, Note(L"error[%s]", source));
            if (!archive) plain_why = why;
            continue;
        }
        if (row < 0) settings.Write(L"Novamend", L"ListFileZip", archive ? L"1" : L"0");
        AppendEntryMessage(list_, row, Note(L"done[%s]", source));
        if (!archive) {
            if (content_refused(fetched, source)) {
                plain_why = why;
                continue;
            }
            return row < 0 || NoteFinishedVersion(local, version);
        }
        if (row >= 0 && !settings.Unzips()) {
            // The archive stays as it is; there is no plain file to mark.
            if (content_refused(archive_path, source)) continue;
            return true;
        }
        // The archive has served once it is unpacked or found wrong; one that
        // cannot be deleted is cleared with the work directory.
        if (ExtractArchive(archive_path, local, size_limit)) {
            files::Delete(archive_path);
            if (content_refused(local, source)) continue;
            AppendEntryMessage(list_, row, Note(L"unzip ok[%s]", archive_path));
            return row < 0 || MarkFinished(local, version, EarlierNote::Absent);
        }
        why = Note(L"unzip error[%s]", archive_path);
        AppendEntryMessage(list_, row, why);
        files::Delete(archive_path);
        files::Delete(local);
        // The next attempt takes the plain file.
    }
    if (!plain_why.empty()) why = plain_why;
    return failed();
}

}  // namespace nm
