// portable: builds without Win32
#include "ui/tray_rules.h"

#include <algorithm>

#include "base/text.h"

namespace nm::tray {

namespace {
constexpr long kDefaultMinutes = 5, kLongestMinutes = 60;
constexpr int kUpdateCopyOk = 12;
}  // namespace

long CheckMinutes(std::wstring_view check_span_setting) {
    const long minutes = text::ToLong(check_span_setting);
    if (minutes <= 0) return kDefaultMinutes;
    return std::min(minutes, kLongestMinutes);
}

long CountdownAfterTick(long countdown, std::int64_t seconds_since_check) {
    if (countdown < 0) return countdown;
    const std::int64_t seconds = std::max<std::int64_t>(0, seconds_since_check);
    const long step = static_cast<long>((seconds % 60) / 10);
    return std::max(0L, countdown - step);
}

Notification NotificationFor(bool updating, int check_state, long found_count) {
    if (updating) return {L"updater is running..."};
    switch (check_state) {
    case 1:
        return {L"Check update files"};
    case 2:
        return {L"Can't connection update server!"};
    case 3:
        if (found_count < 1) return {L"Find nothing to update."};
        return {L"Found %d files need to update...", true};
    default:
        return {};
    }
}

std::wstring OutcomeOfUpdate(int final_state, bool list_had_entries) {
    if (final_state == kUpdateCopyOk) return L"Upgrade is completed";
    if (list_had_entries) return L"Upgrade is abort";
    return L"";
}

std::wstring TrayTip(std::wstring_view application_name, std::wstring_view line, size_t capacity) {
    std::wstring tip = L"[" + std::wstring(application_name) + L"]\n" + std::wstring(line);
    if (capacity > 0 && tip.size() >= capacity) tip.resize(capacity - 1);
    return tip;
}

}  // namespace nm::tray
