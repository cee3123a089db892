// portable: builds without Win32
#pragma once
// Reading and writing DER, the encoding of keys and signatures: one tag
// byte, a definite length in its shortest form, the contents.
#include <cstdint>
#include <string>
#include <string_view>

namespace nm::der {

enum Tag : std::uint8_t {
    kInteger = 0x02,
    kBitString = 0x03,
    kOctetString = 0x04,
    kObjectId = 0x06,
    kSequence = 0x30,
    kContext0 = 0xA0,
    kContext1 = 0xA1,
};

// Reads the elements of one level in order; never looks past its bytes.
class Reader {
public:
    explicit Reader(std::string_view bytes) : rest_(bytes) {}
    // The next element when it has this tag: its contents. False, with
    // nothing read, when the tag differs or the element is malformed.
    bool Read(std::uint8_t tag, std::string_view& contents);
    // Reads the next element only when it has this tag; true when it did.
    bool ReadIf(std::uint8_t tag, std::string_view& contents) { return NextTag() == tag && Read(tag, contents); }
    // The next element's tag, or -1 at the end.
    int NextTag() const { return rest_.empty() ? -1 : static_cast<std::uint8_t>(rest_[0]); }
    bool AtEnd() const { return rest_.empty(); }

private:
    std::string_view rest_;
};

// One element of the given tag around contents.
std::string Element(std::uint8_t tag, std::string_view contents);

}  // namespace nm::der
