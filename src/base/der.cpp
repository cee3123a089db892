// portable: builds without Win32
#include "base/der.h"

namespace nm::der {

bool Reader::Read(std::uint8_t tag, std::string_view& contents) {
    if (rest_.size() < 2 || static_cast<std::uint8_t>(rest_[0]) != tag) return false;
    size_t length = static_cast<std::uint8_t>(rest_[1]);
    size_t header = 2;
    if (length & 0x80) {
        // Long form: one to four length bytes, no leading zero, and only for
        // lengths the short form cannot hold.
        const size_t count = length & 0x7F;
        if (count == 0 || count > 4 || rest_.size() < 2 + count || rest_[2] == 0) return false;
        length = 0;
        for (size_t i = 0; i < count; ++i) length = length << 8 | static_cast<std::uint8_t>(rest_[2 + i]);
        if (length < 0x80) return false;
        header += count;
    }
    if (length > rest_.size() - header) return false;
    contents = rest_.substr(header, length);
    rest_.remove_prefix(header + length);
    return true;
}

std::string Element(std::uint8_t tag, std::string_view contents) {
    std::string out(1, static_cast<char>(tag));
    const size_t length = contents.size();
    if (length < 0x80) {
        out.push_back(static_cast<char>(length));
    } else {
        std::string digits;
        for (size_t rest = length; rest > 0; rest >>= 8) digits.insert(digits.begin(), static_cast<char>(rest & 0xFF));
        out.push_back(static_cast<char>(0x80 | digits.size()));
        out += digits;
    }
    out += contents;
    return out;
}

}  // namespace nm::der
