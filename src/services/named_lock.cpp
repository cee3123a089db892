#include "services/named_lock.h"

#include <windows.h>

#include <cwchar>
#include <map>
#include <mutex>

#include "base/unique_handle.h"

namespace nm {

namespace {
HANDLE LockEvent(NamedLock lock) {
    const long id = static_cast<long>(lock);
    static std::mutex map_lock;
    static std::map<long, unique_handle> events;
    std::lock_guard guard(map_lock);
    auto& event = events[id];
    if (!event) {
        wchar_t name[32];
        std::swprintf(name, std::size(name), L"Lock%ld", id);
        event.reset(::CreateEventW(nullptr, FALSE, TRUE, name));
    }
    return event.get();
}
}  // namespace

void TakeLock(NamedLock id) {
    if (HANDLE event = LockEvent(id)) ::WaitForSingleObject(event, INFINITE);
}

void ReleaseLock(NamedLock id) {
    if (HANDLE event = LockEvent(id)) ::SetEvent(event);
}

}  // namespace nm
