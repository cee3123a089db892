#include "services/named_lock.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "base/system_lock.h"

namespace nm {

namespace {
SystemLock& LockFor(NamedLock lock) {
    static std::mutex map_lock;
    static std::map<NamedLock, std::unique_ptr<SystemLock>> locks;
    std::lock_guard guard(map_lock);
    auto& entry = locks[lock];
    if (!entry) entry = std::make_unique<SystemLock>(L"Lock" + std::to_wstring(static_cast<long>(lock)));
    return *entry;
}
}  // namespace

void TakeLock(NamedLock id) { LockFor(id).Take(); }
void ReleaseLock(NamedLock id) { LockFor(id).Release(); }

}  // namespace nm
