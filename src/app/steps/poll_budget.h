#pragma once
// How the check waits for its fetch threads: a budget of polls, each taking
// the state's lock, reading the state, releasing it and sleeping 1 ms.
#include <windows.h>

#include "services/process_lock.h"

namespace nm {

// Polls done() under its lock, at most 100 x budget times, 1 ms apart.
template <typename Done>
bool PollWithBudget(long budget, ProcessLock lock, Done done) {
    // 64-bit: a large TimeOut must not wrap into no polls at all.
    const long long polls = 100LL * budget;
    for (long long poll = 0; poll < polls; ++poll) {
        {
            ScopedLock guard(lock);
            if (done()) return true;
        }
        ::Sleep(1);
    }
    ScopedLock guard(lock);
    return done();
}

// The states a fetch thread reports.
enum FetchState : int { kFetchRunning = 0, kFetchSucceeded = 2, kFetchFailed = 3 };

}  // namespace nm
