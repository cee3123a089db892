// posix: one key of an INI file for the native vendor tool, found by the
// rules of the profile functions the updater reads its settings with.
#include <cstdint>

#include "base/file_ops.h"
#include "base/profile_text.h"
#include "base/text.h"
#include "services/settings.h"
#include "services/settings_rules.h"

namespace nm {

namespace {
// Far above any settings file; a larger one is not read.
constexpr std::int64_t kLargestSettingsFile = 16LL * 1024 * 1024;

// The profile functions read text without a byte-order mark in the ANSI code
// page, Windows-1252 on the systems vendors build on; 0x80-0x9f hold its
// letters and signs where Latin-1 has control codes.
std::wstring DecodeAnsi(std::string_view bytes) {
    static constexpr char16_t kHigh[32] = {0x20ac, 0x81,   0x201a, 0x192,  0x201e, 0x2026, 0x2020, 0x2021,
                                           0x2c6,  0x2030, 0x160,  0x2039, 0x152,  0x8d,   0x17d,  0x8f,
                                           0x90,   0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
                                           0x2dc,  0x2122, 0x161,  0x203a, 0x153,  0x9d,   0x17e,  0x178};
    std::wstring text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text.push_back(byte >= 0x80 && byte < 0xa0 ? static_cast<wchar_t>(kHigh[byte - 0x80]) : byte);
    }
    return text;
}
}  // namespace

std::wstring Settings::ReadIni(const std::wstring& file, const std::wstring& section, const std::wstring& key) {
    std::string bytes;
    if (!files::ReadAll(file, bytes, kLargestSettingsFile)) return {};
    const std::wstring text =
        bytes.starts_with("\xef\xbb\xbf") ? text::FromUtf8(std::string_view(bytes).substr(3)) : DecodeAnsi(bytes);
    return profile::Value(text, section, key, settings_rules::kMaxValueLength);
}

}  // namespace nm
