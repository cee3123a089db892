#pragma once
// Numbered locks shared by the worker threads: auto-reset events named
// "Lock%ld", created signalled on first use, one per number. Being named
// system events, they also serialise updater processes of the same session.
namespace nm {

void TakeLock(long id);
void ReleaseLock(long id);

// Holds a numbered lock for the life of the scope.
class ScopedLock {
public:
    explicit ScopedLock(long id) : id_(id) { TakeLock(id_); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;
    ~ScopedLock() { ReleaseLock(id_); }

private:
    long id_;
};

}  // namespace nm
