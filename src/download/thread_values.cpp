#include "download/thread_values.h"

#include <windows.h>

#include <map>
#include <utility>

#include "download/transfer_rules.h"

namespace nm::thread_values {

namespace {
using Key = std::pair<std::uint32_t, std::int64_t>;

std::map<Key, std::int64_t>& Table() {
    static std::map<Key, std::int64_t> table;
    return table;
}

// The named auto-reset event, created signalled so that it starts free.
HANDLE Lock() {
    static HANDLE event = ::CreateEventW(nullptr, FALSE, TRUE, L"threadValueEvent");
    return event;
}

class Guard {
public:
    Guard() { ::WaitForSingleObject(Lock(), INFINITE); }
    ~Guard() { ::SetEvent(Lock()); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
};

std::int64_t Read(const Key& key) {
    auto& table = Table();
    auto found = table.find(key);
    return found == table.end() ? 0 : found->second;
}

void Store(const Key& key, std::int64_t value) {
    if (value == 0) Table().erase(key);
    else Table()[key] = value;
}
}  // namespace

std::int64_t Get(std::uint32_t kind, std::int64_t id) {
    Guard guard;
    return Read({kind, id});
}

void Set(std::uint32_t kind, std::int64_t id, std::int64_t value) {
    Guard guard;
    Store({kind, id}, value);
}

std::int64_t Add(std::uint32_t kind, std::int64_t id, std::int64_t delta) {
    Guard guard;
    const Key key{kind, id};
    const std::int64_t value = Read(key) + delta;
    Store(key, value);
    return value;
}

std::int64_t AddClamped(std::uint32_t kind, std::int64_t id, std::int64_t delta, std::int64_t limit) {
    Guard guard;
    const Key key{kind, id};
    const std::int64_t value = transfer::ClampProgress(Read(key), delta, limit);
    Store(key, value);
    return value;
}

}  // namespace nm::thread_values
