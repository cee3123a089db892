#pragma once
// Numbered locks shared by the worker threads, named "Lock%ld", one per
// number, created free on first use. Being named system objects, they also
// serialise updater processes of the same session; they are mutexes, so a
// process killed while holding one never blocks the others.
namespace nm {

// Every numbered lock of the program, by what it guards.
enum class NamedLock : long {
    Log = 786433,              // writing the log file
    FileFetching = 983041,     // a file's "fetching" notification
    FileFinished = 983042,     // a file's "finished" notifications
    FileFailed = 983043,       // a file's "failed" notification
    DownloadStatus = 983047,   // the download step's status line
    EntryMessage = 983059,     // an entry's message text
    EntryArray = 0xB0001,      // appending to an entry array
    MirrorRace = 0xF000B,      // the winner and pending count of the mirror race
    SingleFetch = 0xF000C,     // the state of the single list fetch
    VersionProbe = 0xF000D,    // the state of the version probe
};

void TakeLock(NamedLock id);
void ReleaseLock(NamedLock id);

// Holds a numbered lock for the life of the scope.
class ScopedLock {
public:
    explicit ScopedLock(NamedLock id) : id_(id) { TakeLock(id_); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;
    ~ScopedLock() { ReleaseLock(id_); }

private:
    NamedLock id_;
};

}  // namespace nm
