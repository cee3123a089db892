// portable: builds without Win32
#include "base/text.h"

#include <algorithm>
#include <cwctype>

namespace nm::text {

namespace {
bool IsSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }
wchar_t LowerChar(wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); }
}  // namespace

std::wstring Lower(std::wstring_view s) {
    std::wstring out(s);
    for (auto& c : out) c = LowerChar(c);
    return out;
}

std::wstring Trim(std::wstring_view s) {
    size_t begin = 0, end = s.size();
    while (begin < end && IsSpace(s[begin])) ++begin;
    while (end > begin && IsSpace(s[end - 1])) --end;
    return std::wstring(s.substr(begin, end - begin));
}

std::wstring ReplaceAll(std::wstring_view s, std::wstring_view from, std::wstring_view to) {
    if (from.empty()) return std::wstring(s);
    std::wstring out;
    out.reserve(s.size());
    size_t pos = 0;
    for (size_t hit; (hit = s.find(from, pos)) != std::wstring_view::npos; pos = hit + from.size()) {
        out.append(s.substr(pos, hit - pos));
        out.append(to);
    }
    out.append(s.substr(pos));
    return out;
}

std::wstring CollapseSeparators(std::wstring_view s) { return ReplaceAll(s, L"\\\\", L"\\"); }

std::vector<std::wstring> Split(std::wstring_view s, wchar_t separator) {
    std::vector<std::wstring> pieces;
    size_t start = 0;
    for (size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == separator) {
            pieces.emplace_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    return pieces;
}

bool Contains(std::wstring_view s, std::wstring_view part) { return s.find(part) != std::wstring_view::npos; }
bool StartsWith(std::wstring_view s, std::wstring_view prefix) { return s.substr(0, prefix.size()) == prefix; }
bool EndsWith(std::wstring_view s, std::wstring_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

long ToLong(std::wstring_view s) {
    size_t i = 0;
    while (i < s.size() && IsSpace(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) negative = s[i++] == L'-';
    // Accumulate in 64 bits and saturate, as the C library does on overflow.
    long long value = 0;
    for (; i < s.size() && s[i] >= L'0' && s[i] <= L'9'; ++i) {
        value = value * 10 + (s[i] - L'0');
        if (value > 0x80000000LL) value = 0x80000000LL;
    }
    if (negative) value = -value;
    if (value > 0x7FFFFFFFLL) value = 0x7FFFFFFFLL;
    return static_cast<long>(value);
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerChar(a[i]) != LowerChar(b[i])) return false;
    return true;
}

std::wstring Format(std::wstring_view format, std::initializer_list<std::wstring> arguments) {
    std::wstring out;
    auto next = arguments.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != L'%') {
            out += format[i];
            continue;
        }
        std::wstring_view rest = format.substr(i + 1);
        if (StartsWith(rest, L"%")) {
            out += L'%';
            i += 1;
            continue;
        }
        size_t length = 0;
        for (std::wstring_view spec : {L"s", L"d", L"u", L"ld", L"lu"})
            if (StartsWith(rest, spec)) length = std::max(length, spec.size());
        if (length == 0 || next == arguments.end()) {
            out += L'%';
            continue;
        }
        out += *next++;
        i += length;
    }
    return out;
}

std::string ToUtf8(std::wstring_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned long cp = static_cast<unsigned long>(s[i]);
        if (sizeof(wchar_t) == 2 && cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size()) {
            unsigned long low = static_cast<unsigned long>(s[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

bool Utf16Less(std::wstring_view a, std::wstring_view b) {
    // A code point past the first plane sorts as its high surrogate would,
    // between U+D7FF and U+E000; those with one high surrogate by the rest.
    const auto unit = [](wchar_t c) {
        const unsigned long cp = static_cast<unsigned long>(c);
        return cp >= 0x10000 ? 0xD800 + ((cp - 0x10000) >> 10) : cp;
    };
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        const unsigned long ua = unit(a[i]), ub = unit(b[i]);
        if (ua != ub) return ua < ub;
        if (a[i] != b[i]) return static_cast<unsigned long>(a[i]) < static_cast<unsigned long>(b[i]);
    }
    return a.size() < b.size();
}

std::wstring FromUtf8(std::string_view s) {
    std::wstring out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        unsigned long cp;
        size_t extra;
        if (b < 0x80) {
            cp = b;
            extra = 0;
        } else if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0F;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            cp = b & 0x07;
            extra = 3;
        } else {
            out += L'\xFFFD';
            ++i;
            continue;
        }
        bool valid = true;
        for (size_t k = 1; k <= extra; ++k) {
            if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        }
        if (!valid) {
            out += L'\xFFFD';
            ++i;
            continue;
        }
        i += extra + 1;
        if (cp >= 0x10000 && sizeof(wchar_t) == 2) {
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<wchar_t>(cp);
        }
    }
    return out;
}

std::string EscapedUtf8(std::wstring_view s) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    for (unsigned char c : ToUtf8(s)) {
        if (c == '%' || c < 0x20 || c == 0x7f) {
            escaped += '%';
            escaped += kHex[c >> 4];
            escaped += kHex[c & 0xF];
        } else {
            escaped += static_cast<char>(c);
        }
    }
    return escaped;
}

std::wstring FromEscapedUtf8(std::string_view s) {
    const auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::string bytes;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
            bytes += static_cast<char>(hex(s[i + 1]) * 16 + hex(s[i + 2]));
            i += 2;
        } else {
            bytes += s[i];
        }
    }
    return FromUtf8(bytes);
}

std::wstring Excerpt(std::wstring_view s, size_t max_characters, size_t max_lines) {
    std::vector<std::wstring> lines;
    for (std::wstring& line : Split(ReplaceAll(s, L"\r\n", L"\n"), L'\n')) {
        while (!line.empty() && (line.back() == L' ' || line.back() == L'\t' || line.back() == L'\r')) line.pop_back();
        lines.push_back(std::move(line));
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    std::wstring out;
    bool cut = lines.size() > max_lines;
    for (size_t i = 0; i < lines.size() && i < max_lines; ++i) {
        const std::wstring joined = out.empty() && i == 0 ? lines[i] : out + L"\r\n" + lines[i];
        if (joined.size() > max_characters) {
            out = joined.substr(0, max_characters);
            // Back to the last blank, unless that throws away most of the room.
            if (const size_t blank = out.find_last_of(L" \t\n");
                blank != std::wstring::npos && blank >= max_characters / 2)
                out.resize(blank);
            while (!out.empty() && (out.back() == L' ' || out.back() == L'\r' || out.back() == L'\n')) out.pop_back();
            cut = true;
            break;
        }
        out = joined;
    }
    return cut ? out + L"\u2026" : out;
}

}  // namespace nm::text
