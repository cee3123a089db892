#include "base/threads.h"

#include <windows.h>

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

}  // namespace nm
