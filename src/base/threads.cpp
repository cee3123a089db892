#include "base/threads.h"

#include <windows.h>

#include <deque>
#include <memory>

#include "base/unique_handle.h"

namespace nm {

bool StartDetached(std::function<void()> work) {
    auto job = std::make_unique<std::function<void()>>(std::move(work));
    unique_handle thread(::CreateThread(
        nullptr, 0,
        [](void* param) -> DWORD {
            std::unique_ptr<std::function<void()>> owned(static_cast<std::function<void()>*>(param));
            (*owned)();
            return 0;
        },
        job.get(), 0, nullptr));
    if (!thread) return false;
    job.release();  // the thread owns it now
    return true;
}

namespace {
// How long a thread that ran out of work waits for more before it ends.
constexpr DWORD kIdleLifeMs = 2000;

// The threads waiting for work and the work nobody has taken yet. Slim locks
// and condition variables: waiting and waking need no trip to the system's
// object manager.
struct IdleThreads {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE work_came = CONDITION_VARIABLE_INIT;
    std::deque<std::function<void()>> queued;
    size_t waiting = 0;
};

// Never destroyed: waiting threads may still hold it while the process ends.
IdleThreads& Idle() {
    static IdleThreads* idle = new IdleThreads;
    return *idle;
}

void RunThenTakeMore(std::function<void()> work) {
    IdleThreads& idle = Idle();
    for (;;) {
        work();
        work = nullptr;  // its captures end with the piece, not with the thread
        ::AcquireSRWLockExclusive(&idle.lock);
        ++idle.waiting;
        const ULONGLONG give_up = ::GetTickCount64() + kIdleLifeMs;
        while (idle.queued.empty()) {
            const ULONGLONG now = ::GetTickCount64();
            if (now >= give_up ||
                !::SleepConditionVariableSRW(&idle.work_came, &idle.lock, static_cast<DWORD>(give_up - now), 0)) {
                if (idle.queued.empty()) break;
            }
        }
        --idle.waiting;
        if (idle.queued.empty()) {
            ::ReleaseSRWLockExclusive(&idle.lock);
            return;
        }
        work = std::move(idle.queued.front());
        idle.queued.pop_front();
        ::ReleaseSRWLockExclusive(&idle.lock);
    }
}
}  // namespace

bool StartOnReusedThread(std::function<void()> work) {
    IdleThreads& idle = Idle();
    ::AcquireSRWLockExclusive(&idle.lock);
    // Each queued piece has a waiting thread of its own.
    const bool handed_over = idle.waiting > idle.queued.size();
    if (handed_over) {
        idle.queued.push_back(std::move(work));
        ::WakeConditionVariable(&idle.work_came);
    }
    ::ReleaseSRWLockExclusive(&idle.lock);
    if (handed_over) return true;
    return StartDetached([work = std::move(work)]() mutable { RunThenTakeMore(std::move(work)); });
}

}  // namespace nm
