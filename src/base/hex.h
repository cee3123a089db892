// portable: builds without Win32
#pragma once
// Hexadecimal text of bytes, as file hashes are written in the update list.
#include <string>
#include <string_view>

namespace nm::hex {

// Two lower-case digits per byte.
std::wstring Encode(std::string_view bytes);
// Pairs of digits in either case and nothing else (no blanks, no prefix).
bool Decode(std::wstring_view text, std::string& bytes);

}  // namespace nm::hex
