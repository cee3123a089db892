// portable: builds without Win32
#include "base/profile_text.h"

#include <cwctype>

#include "base/text.h"

namespace nm::profile {

namespace {
// The blanks the profile functions trim; ^Z ends old DOS text.
bool IsBlank(wchar_t c) { return std::iswspace(static_cast<wint_t>(c)) || c == 0x1a; }

std::wstring_view Trimmed(std::wstring_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}
}  // namespace

std::wstring Value(std::wstring_view text, std::wstring_view section, std::wstring_view key, size_t max_length) {
    const std::wstring_view wanted_section = Trimmed(section), wanted_key = Trimmed(key);
    bool in_section = false;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find_first_of(L"\r\n", start), text.size());
        const std::wstring_view line = Trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.empty()) continue;
        const size_t close = line.rfind(L']');
        if (line.front() == L'[' && close != std::wstring_view::npos && close > 0) {
            if (in_section) return {};  // only the first section of the name counts
            in_section = text::EqualsNoCase(Trimmed(line.substr(1, close - 1)), wanted_section);
            continue;
        }
        if (!in_section) continue;
        const size_t equals = line.find(L'=');
        if (!text::EqualsNoCase(Trimmed(line.substr(0, equals)), wanted_key)) continue;
        if (equals == std::wstring_view::npos) return {};
        std::wstring_view value = Trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return std::wstring(value.substr(0, max_length));
    }
    return {};
}

}  // namespace nm::profile
