// portable: builds without Win32
#include "base/hex.h"

namespace nm::hex {

namespace {
int DigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}
}  // namespace

std::wstring Encode(std::string_view bytes) {
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text;
    text.reserve(bytes.size() * 2);
    for (char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        text.push_back(kDigits[value >> 4]);
        text.push_back(kDigits[value & 0xF]);
    }
    return text;
}

bool Decode(std::wstring_view text, std::string& bytes) {
    if (text.size() % 2 != 0) return false;
    std::string out;
    out.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = DigitValue(text[i]), low = DigitValue(text[i + 1]);
        if (high < 0 || low < 0) return false;
        out.push_back(static_cast<char>(high << 4 | low));
    }
    bytes = std::move(out);
    return true;
}

}  // namespace nm::hex
