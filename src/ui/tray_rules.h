// portable: builds without Win32
#pragma once
// The tray window's rules apart from its window: how often it checks, how
// its countdown runs down, which line it shows, and where its hot areas are.
#include <cstdint>
#include <string>
#include <string_view>

namespace nm::tray {

// The minutes between checks for the CheckTmSpan value: 0 or less (or not
// a number) counts as 5, 60 or more as 60.
long CheckMinutes(std::wstring_view check_span_setting);
// An empty CheckTmSpan ends the resident mode after a check that found
// nothing or after an update.
inline bool EndsWhenIdle(std::wstring_view check_span_setting) { return check_span_setting.empty(); }

// The countdown after one 500 ms tick, seconds_since_check after the last
// check started: it stands for the first 10 seconds of each minute, then
// loses 1, 2, 3 ... per tick, ten seconds each, and stops at 0.
long CountdownAfterTick(long countdown, std::int64_t seconds_since_check);

// The notification line as an English text of the language table, with
// the file count for "%d" where it has one.
struct Notification {
    std::wstring text;  // "" when the state has no line
    bool with_count = false;
};
// check_state numbers the states as host windows see them: 1 checking,
// 2 failed, 3 done.
Notification NotificationFor(bool updating, int check_state, long found_count);
// The outcome of an update run: "" when the line stays as it was.
std::wstring OutcomeOfUpdate(int final_state, bool list_had_entries);

// The tray tip of an application with a name: "[Name]", a line break and
// the line, cut to what the tip holds.
std::wstring TrayTip(std::wstring_view application_name, std::wstring_view line, size_t capacity);

struct Area {
    int left = 0, top = 0, right = 0, bottom = 0;
};
// Both edges belong to a hot area.
inline bool Contains(const Area& area, int x, int y) {
    return x >= area.left && x <= area.right && y >= area.top && y <= area.bottom;
}

}  // namespace nm::tray
