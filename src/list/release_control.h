// portable: builds without Win32
#pragma once
// What a list may say about its own release beyond its files: a pause, an
// expiry time and a staged rollout. Read from direct children of the root.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nm {

struct ReleaseControl {
    bool paused = false;  // <paused/>: nobody updates
    // <expires>YYYY-MM-DDTHH:MM:SSZ</expires> as written; "" when absent.
    std::wstring expires;
    // <rollout percent="N"/>: N from 0 to 100, or none without the element
    // (a percent that does not read as one counts as 0: nobody).
    std::optional<int> rollout_percent;
    // <rollout ... user="all"/>: a check the user asked for in a visible mode
    // is not held back by the share.
    bool rollout_user_checks = false;
};

namespace release_control {

// Seconds since 1970-01-01 UTC of an ISO 8601 UTC time written
// YYYY-MM-DDTHH:MM:SSZ; none for any other text.
std::optional<std::int64_t> ParseUtcTime(std::wstring_view text);
// The same time written back in that form.
std::wstring FormatUtcTime(std::int64_t seconds);
// A rollout percent: decimal digits 0 to 100, blanks around them allowed.
std::optional<int> ParsePercent(std::wstring_view text);
// A machine's bucket 0..99 for a release: the first four bytes (big-endian)
// of sha256(machine id + release), mod 100. The release is the list's guid,
// or its serial when it has none, so the first machines change per release.
int RolloutBucket(std::wstring_view machine_id, std::wstring_view release);
// True when the machine of that bucket is within a share of percent.
inline bool InRollout(int bucket, int percent) { return bucket < percent; }

}  // namespace release_control
}  // namespace nm
