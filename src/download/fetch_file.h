#pragma once
// One file of the update (or the update list itself) into the list work
// directory: the archive variant first, then the plain file, and a finished
// file marked by a trailing "_" so that no later pass or run fetches it again.
#include <windows.h>

#include <string>

#include "download/finished_file.h"
#include "list/download_list.h"

namespace nm {

// "threadcount": files at once, 1..50, default 8.
long FilesAtOnce();
// "filethread": connections per file, 1..100, default 8.
long ConnectionsPerFile();

class FileFetcher {
public:
    // Each attempt's outcome is noted in the entry's message text of `list`;
    // every connection gets `connect_tries` attempts.
    // With an index of the finished files listed when the step began, an
    // entry it shows none for is not looked for on disk.
    FileFetcher(DownLoadList& list, long connect_tries, const FinishedFileIndex* finished = nullptr)
        : list_(list), connect_tries_(connect_tries), finished_(finished) {}

    // Row -1 is the update list itself (archive first only when ListFileZip
    // says so). 0 on success, 1 on failure.
    int Fetch(HWND window, long row, const std::wstring& url, const std::wstring& local_path, bool no_retry) const;

private:
    // The version the entry of a row is fetched for ("" for the list itself).
    std::wstring EntryVersion(long row) const;
    int DownloadOnce(HWND window, long row, const std::wstring& url, const std::wstring& target, bool no_retry) const;

    DownLoadList& list_;
    long connect_tries_;
    const FinishedFileIndex* finished_;
};

}  // namespace nm
