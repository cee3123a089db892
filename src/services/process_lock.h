#pragma once
// The locks that the threads of one process share, one per thing they
// guard. They are plain in-process mutexes: nothing they guard lives outside
// this process, so updaters of other applications never wait on them. The
// one lock that processes share, the log file's, is apart (services/log.cpp).
#include <mutex>

namespace nm {

enum class ProcessLock {
    FileFetching,    // a file's "fetching" notification
    FileFinished,    // a file's "finished" notifications
    FileFailed,      // a file's "failed" notification
    DownloadStatus,  // the download step's status line
    EntryMessage,    // an entry's message text
    EntryArray,      // appending to an entry array
    MirrorRace,      // the winner and pending count of the mirror race
    SingleFetch,     // the state of the single list fetch
    VersionProbe,    // the state of the version probe
    Count,
};

std::mutex& MutexOf(ProcessLock lock);

// Holds a process lock for the life of the scope.
class ScopedLock {
public:
    explicit ScopedLock(ProcessLock lock) : guard_(MutexOf(lock)) {}

private:
    std::lock_guard<std::mutex> guard_;
};

}  // namespace nm
