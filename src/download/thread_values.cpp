#include "download/thread_values.h"

#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <utility>

#include "download/transfer_rules.h"

namespace nm::thread_values {

namespace {
using Key = std::pair<std::uint32_t, std::int64_t>;

std::map<Key, std::int64_t>& Table() {
    static std::map<Key, std::int64_t> table;
    return table;
}

// The table belongs to this process alone, and so does its lock.
std::mutex table_lock;

class Guard {
public:
    Guard() : guard_(table_lock) {}

private:
    std::lock_guard<std::mutex> guard_;
};

// Hints in front of the table: a slot is raised whenever an abort mark of a
// file id of that slot is stored, so a clear slot answers without the lock.
constexpr size_t kAbortSlots = 256;
std::atomic<bool> abort_hints[kAbortSlots];

void RaiseHint(const Key& key, std::int64_t value) {
    if (key.first == kAbortMark && value != 0)
        abort_hints[static_cast<std::uint64_t>(key.second) % kAbortSlots].store(true);
}

std::int64_t Read(const Key& key) {
    auto& table = Table();
    auto found = table.find(key);
    return found == table.end() ? 0 : found->second;
}

void Store(const Key& key, std::int64_t value) {
    RaiseHint(key, value);
    if (value == 0)
        Table().erase(key);
    else
        Table()[key] = value;
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

bool AbortMarked(std::int64_t id) {
    if (!abort_hints[static_cast<std::uint64_t>(id) % kAbortSlots].load()) return false;
    return Get(kAbortMark, id) != 0;
}

void AddSeries(std::uint32_t kind, std::uint32_t other_kind, std::int64_t id, const std::int64_t* deltas, size_t count,
               std::int64_t limit, std::int64_t* values, std::int64_t* other_values) {
    if (count == 0) return;
    Guard guard;
    const Key key{kind, id}, other_key{other_kind, id};
    std::int64_t value = Read(key), other_value = Read(other_key);
    for (size_t i = 0; i < count; ++i) {
        values[i] = value = transfer::ClampProgress(value, deltas[i], limit);
        other_values[i] = other_value = transfer::ClampProgress(other_value, deltas[i], limit);
    }
    Store(key, value);
    Store(other_key, other_value);
}

}  // namespace nm::thread_values
