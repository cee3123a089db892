// portable: builds without Win32
#pragma once
// Hexadecimal text of bytes, as file hashes are written in the update list.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace nm::hex {

// Two lower-case digits per byte.
std::wstring Encode(std::string_view bytes);
// A SHA-256 digest as lists write it.
inline std::wstring EncodeDigest(const std::array<std::uint8_t, 32>& digest) {
    return Encode(std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()));
}
// Pairs of digits in either case and nothing else (no blanks, no prefix).
bool Decode(std::wstring_view text, std::string& bytes);

}  // namespace nm::hex
