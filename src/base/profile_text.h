// portable: builds without Win32
#pragma once
// One key of INI text found as GetPrivateProfileString finds it, for the
// builds that have no profile functions: the first section of that name,
// the first key of that name in it, names compared without regard to case.
#include <string>
#include <string_view>

namespace nm::profile {

// The key's value with the blanks around it removed, and one pair of
// matching quotes around the whole value; at most max_length characters.
// "" when the section or the key is missing.
std::wstring Value(std::wstring_view text, std::wstring_view section, std::wstring_view key, size_t max_length);

}  // namespace nm::profile
