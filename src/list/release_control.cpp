// portable: builds without Win32
#include "list/release_control.h"

#include <cwchar>

#include "base/sha256.h"
#include "base/text.h"

namespace nm::release_control {

namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
    const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + static_cast<std::int64_t>(day_of_era) - 719468;
}

bool Digits(std::wstring_view text, size_t at, size_t count, unsigned& value) {
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return false;
        value = value * 10 + static_cast<unsigned>(text[i] - L'0');
    }
    return true;
}

}  // namespace

std::optional<std::int64_t> ParseUtcTime(std::wstring_view text) {
    const std::wstring time = text::Trim(text);
    // 2026-12-31T00:00:00Z
    if (time.size() != 20 || time[4] != L'-' || time[7] != L'-' || time[10] != L'T' || time[13] != L':' ||
        time[16] != L':' || time[19] != L'Z')
        return std::nullopt;
    unsigned year, month, day, hour, minute, second;
    if (!Digits(time, 0, 4, year) || !Digits(time, 5, 2, month) || !Digits(time, 8, 2, day) ||
        !Digits(time, 11, 2, hour) || !Digits(time, 14, 2, minute) || !Digits(time, 17, 2, second))
        return std::nullopt;
    static constexpr unsigned kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kMonthDays[month - 1] || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap) return std::nullopt;
    return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

std::wstring FormatUtcTime(std::int64_t seconds) {
    const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    const std::int64_t in_day = seconds - days * 86400;
    // The inverse of DaysFromCivil.
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned day_of_era = static_cast<unsigned>(z - era * 146097);
    const unsigned year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const unsigned day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const unsigned mp = (5 * day_of_year + 2) / 153;
    const unsigned day = day_of_year - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = static_cast<std::int64_t>(year_of_era) + era * 400 + (month <= 2);
    wchar_t out[32];
    std::swprintf(out, 32, L"%04lld-%02u-%02uT%02lld:%02lld:%02lldZ", static_cast<long long>(year), month, day,
                  static_cast<long long>(in_day / 3600), static_cast<long long>(in_day / 60 % 60),
                  static_cast<long long>(in_day % 60));
    return out;
}

std::optional<int> ParsePercent(std::wstring_view text) {
    const std::wstring digits = text::Trim(text);
    if (digits.empty() || digits.size() > 3) return std::nullopt;
    int percent = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9') return std::nullopt;
        percent = percent * 10 + (c - L'0');
    }
    if (percent > 100) return std::nullopt;
    return percent;
}

int RolloutBucket(std::wstring_view machine_id, std::wstring_view release) {
    const sha256::Digest digest = sha256::Of(text::ToUtf8(std::wstring(machine_id) + std::wstring(release)));
    const std::uint32_t first =
        std::uint32_t(digest[0]) << 24 | std::uint32_t(digest[1]) << 16 | std::uint32_t(digest[2]) << 8 | digest[3];
    return static_cast<int>(first % 100);
}

}  // namespace nm::release_control
