#pragma once
// A lock that processes share by its name, for what several processes touch
// (a file). A process that ends while holding it (killed in the middle of an
// update) does not block the others: the next taker gets it. Meets the
// standard lockable rules (lock, unlock), so std::lock_guard holds it.
#include <windows.h>

#include <string>

#include "base/unique_handle.h"

namespace nm {

class SystemLock {
public:
    explicit SystemLock(const std::wstring& name) : mutex_(::CreateMutexW(nullptr, FALSE, name.c_str())) {}
    SystemLock(const SystemLock&) = delete;
    SystemLock& operator=(const SystemLock&) = delete;

    // Waits without limit; an abandoned lock is taken over as it is. Without
    // a mutex (the system refused one) nothing is guarded.
    void lock() {
        if (mutex_) ::WaitForSingleObject(mutex_.get(), INFINITE);
    }
    // Takes it only when nobody holds it (or its holder ended without letting go).
    bool try_lock() {
        if (!mutex_) return true;
        const DWORD waited = ::WaitForSingleObject(mutex_.get(), 0);
        return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
    // Only the thread that took it may release it.
    void unlock() {
        if (mutex_) ::ReleaseMutex(mutex_.get());
    }

private:
    unique_handle mutex_;
};

}  // namespace nm
