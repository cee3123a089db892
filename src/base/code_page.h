#pragma once
// Text in a Windows code page: settings, language files, the log and the
// version page are ANSI text on disk.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace nm::code_page {

std::wstring Decode(std::string_view bytes, UINT code_page = CP_THREAD_ACP);
// Characters the code page cannot hold become its default character.
std::string Encode(std::wstring_view text, UINT code_page = CP_THREAD_ACP);
// The text in the code page only when it comes back unchanged from it (no
// character replaced or approximated); none otherwise.
std::optional<std::string> EncodeExactly(std::wstring_view text, UINT code_page = CP_THREAD_ACP);

}  // namespace nm::code_page
