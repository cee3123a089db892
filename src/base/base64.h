// portable: builds without Win32
#pragma once
// Base64 with the standard alphabet and "=" padding: the text of PEM files,
// signature files and the list key setting.
#include <string>
#include <string_view>

namespace nm::base64 {

std::string Encode(std::string_view bytes);
// White space anywhere is skipped (PEM bodies and `openssl base64` wrap
// their lines). Anything else outside the alphabet, padding that is not at
// the end, an incomplete group or unused bits that are not zero give false.
bool Decode(std::string_view text, std::string& bytes);
bool Decode(std::wstring_view text, std::string& bytes);

}  // namespace nm::base64
