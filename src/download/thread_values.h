#pragma once
// The table through which a file transfer and its segment threads share
// their counters: (kind, id) -> value, a missing key reads as 0 and storing
// 0 removes it. One lock of the process guards it.
#include <cstddef>
#include <cstdint>

namespace nm::thread_values {

constexpr std::uint32_t kLastFileId = 0xE0000;          // id 0: last file id handed out
constexpr std::uint32_t kAbortMark = 0xE0001;           // 9999 once a segment failed
constexpr std::uint32_t kFileReceived = 0xE0002;        // bytes of the file received
constexpr std::uint32_t kRunningThreads = 0xE0003;      // segment threads running
constexpr std::uint32_t kSegmentReceived = 0xD0000000;  // OR segment index
constexpr std::int64_t kAbortValue = 9999;

std::int64_t Get(std::uint32_t kind, std::int64_t id);
void Set(std::uint32_t kind, std::int64_t id, std::int64_t value);
// Adds delta (creating the key) and returns the new value.
std::int64_t Add(std::uint32_t kind, std::int64_t id, std::int64_t delta);
// Adds delta to the stored value, kept within 0 and limit; returns it.
std::int64_t AddClamped(std::uint32_t kind, std::int64_t id, std::int64_t delta, std::int64_t limit);

// Whether the file's abort mark is set. Cheap while no abort mark was ever
// set for a file of this id's slot: segments ask before every block.
bool AbortMarked(std::int64_t id);

// Adds deltas one after another to two counters, each kept within 0 and
// limit, under one hold of the lock; values[i] and other_values[i] are the
// counters after delta i. (Progress of many blocks at one lock's cost.)
void AddSeries(std::uint32_t kind, std::uint32_t other_kind, std::int64_t id, const std::int64_t* deltas, size_t count,
               std::int64_t limit, std::int64_t* values, std::int64_t* other_values);

}  // namespace nm::thread_values
