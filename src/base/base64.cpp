// portable: builds without Win32
#include "base/base64.h"

#include <cstdint>

namespace nm::base64 {

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int ValueOf(std::uint32_t c) {
    if (c >= 'A' && c <= 'Z') return static_cast<int>(c - 'A');
    if (c >= 'a' && c <= 'z') return static_cast<int>(c - 'a' + 26);
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0' + 52);
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

bool IsSpace(std::uint32_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

template <typename Text>
bool DecodeText(Text text, std::string& bytes) {
    std::string out;
    out.reserve(text.size() / 4 * 3);
    std::uint32_t group = 0;
    int in_group = 0, padding = 0;
    for (auto unit : text) {
        const auto c = static_cast<std::uint32_t>(unit);
        if (IsSpace(c)) continue;
        if (c == '=') {
            // Padding only completes the last group of two or three characters.
            if (in_group + padding < 2) return false;
            ++padding;
            if (in_group + padding > 4) return false;
            continue;
        }
        const int value = ValueOf(c);
        if (value < 0 || padding > 0) return false;
        group = (group << 6) | static_cast<std::uint32_t>(value);
        if (++in_group == 4) {
            out.push_back(static_cast<char>(group >> 16));
            out.push_back(static_cast<char>(group >> 8));
            out.push_back(static_cast<char>(group));
            group = 0;
            in_group = 0;
        }
    }
    if (in_group == 0 && padding == 0) {
        bytes = std::move(out);
        return true;
    }
    if (in_group + padding != 4 || in_group < 2) return false;
    if (in_group == 2) {
        if (group & 0xF) return false;
        out.push_back(static_cast<char>(group >> 4));
    } else {
        if (group & 0x3) return false;
        out.push_back(static_cast<char>(group >> 10));
        out.push_back(static_cast<char>(group >> 2));
    }
    bytes = std::move(out);
    return true;
}
}  // namespace

std::string Encode(std::string_view bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t group = static_cast<std::uint8_t>(bytes[i]) << 16 |
                                    static_cast<std::uint8_t>(bytes[i + 1]) << 8 |
                                    static_cast<std::uint8_t>(bytes[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6) text.push_back(kAlphabet[(group >> shift) & 0x3F]);
    }
    const size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t group = static_cast<std::uint8_t>(bytes[i]) << 16;
        if (rest == 2) group |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
        text.push_back(kAlphabet[(group >> 18) & 0x3F]);
        text.push_back(kAlphabet[(group >> 12) & 0x3F]);
        text.push_back(rest == 2 ? kAlphabet[(group >> 6) & 0x3F] : '=');
        text.push_back('=');
    }
    return text;
}

bool Decode(std::string_view text, std::string& bytes) { return DecodeText(text, bytes); }
bool Decode(std::wstring_view text, std::string& bytes) { return DecodeText(text, bytes); }

}  // namespace nm::base64
