#pragma once
// One file of the update (or the update list itself) into the list work
// directory: the archive variant first, then the plain file, and a finished
// file marked by a trailing "_" so that no later pass or run fetches it again.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "download/finished_file.h"
#include "download/rate_cap.h"
#include "list/download_list.h"

namespace nm {

class FirstRequestAhead;

// "threadcount": files at once, 1..50, default 8.
long FilesAtOnce();

// The settings every file of a download reads, read once: a step reads them
// when it begins rather than for each of its files, since an unset key is
// looked up in the file on every read.
struct FetchSettings {
    long connections_per_file = 8;   // "filethread", 1..100, default 8
    bool list_key_in_force = false;  // "ListPublicKey": files must match their signed hashes
    // The pace all the step's connections share; none when uncapped.
    std::shared_ptr<DownloadRateCap> rate_cap;
    static FetchSettings Read();
};

// What a step has learnt of the server's archive variants. After an archive
// was missing, the next file's plain file is asked for while its archive is,
// not after it: most servers keep no archives, and every request is a wait
// for the server. A found archive stops that until the next one is missing.
class ArchiveOutlook {
public:
    bool ExpectMissing() const { return last_missing_; }
    void Saw(bool found) { last_missing_ = !found; }

private:
    std::atomic<bool> last_missing_{false};
};

class FileFetcher {
public:
    // Each attempt's outcome is noted in the entry's message text of `list`;
    // every connection gets `connect_tries` attempts.
    // With an index of the finished files listed when the step began, an
    // entry it shows none for is not looked for on disk. With the step's
    // outlook on archives, a plain file may be asked for early.
    FileFetcher(DownLoadList& list, long connect_tries, const FetchSettings& settings,
                const FinishedFileIndex* finished = nullptr, ArchiveOutlook* archives = nullptr)
        : list_(list), connect_tries_(connect_tries), settings_(settings), finished_(finished), archives_(archives) {}

    // Row -1 is the update list itself (archive first only when ListFileZip
    // says so). The entry's version, when the caller holds a copy of the    // entry, spares reading it from the list.
    // True when the file arrived; otherwise `failure`, when given, says what the last attempt asked for and what it
    // got.
    // With the entry's installed file given (`installed`, for entry `entry_path`),
    // a patch the list names for it is tried before the whole file.
    struct InstalledFile {
        std::wstring entry_path, installed;
    };
    bool Fetch(HWND window, long row, const std::wstring& url, const std::wstring& local_path, bool no_retry,
               const std::wstring* entry_version = nullptr, std::wstring* failure = nullptr,
               const InstalledFile* installed = nullptr) const;

private:
    // The version the entry of a row is fetched for ("" for the list itself).
    std::wstring EntryVersion(long row) const;
    // complete_path: where the finished download goes, when not the target;
    // ahead: its first request, when already asked; size_limit: the most
    // bytes the server may announce (below 0: no limit).
    bool DownloadOnce(HWND window, long row, const std::wstring& url, const std::wstring& target, bool no_retry,
                      const std::wstring& complete_path, std::int64_t size_limit, FirstRequestAhead* ahead,
                      std::function<void(bool found)> on_first_answer, std::wstring& failure) const;

    DownLoadList& list_;
    long connect_tries_;
    FetchSettings settings_;
    const FinishedFileIndex* finished_;
    ArchiveOutlook* archives_;
};

}  // namespace nm
