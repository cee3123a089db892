// portable: builds without Win32
#pragma once
// Small text routines shared by every part of the program. They work on wide
// text as the rest of the program does and never fail.
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace nm::text {

std::wstring Lower(std::wstring_view s);
std::wstring Trim(std::wstring_view s);
// Replaces every occurrence, left to right, in one pass.
std::wstring ReplaceAll(std::wstring_view s, std::wstring_view from, std::wstring_view to);
// Every "\\" becomes "\" (one pass: "\\\\\\" becomes "\\").
std::wstring CollapseSeparators(std::wstring_view s);
// Splits at every separator; empty pieces are kept.
std::vector<std::wstring> Split(std::wstring_view s, wchar_t separator);
bool Contains(std::wstring_view s, std::wstring_view part);
bool StartsWith(std::wstring_view s, std::wstring_view prefix);
bool EndsWith(std::wstring_view s, std::wstring_view suffix);
// The C library's wide-text-to-integer conversion: leading white space, an
// optional sign, then digits; anything else ends it; no digits gives 0.
long ToLong(std::wstring_view s);
// Case-insensitive comparison for ASCII letters, as names and keys are compared.
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

// printf-style formatting that is safe with formats from language files:
// each %s, %d, %ld, %u or %lu takes the next argument (already text), "%%"
// gives "%", and anything else, or a placeholder with no argument left, is
// copied as it stands.
std::wstring Format(std::wstring_view format, std::initializer_list<std::wstring> arguments);

// UTF-16 (or UTF-32 where wchar_t is 32 bits) to UTF-8 and back.
std::string ToUtf8(std::wstring_view s);
std::wstring FromUtf8(std::string_view s);
// Orders texts by their UTF-16 code units, as Windows compares wide texts,
// also where wchar_t holds whole code points.
bool Utf16Less(std::wstring_view a, std::wstring_view b);

// UTF-8 with '%', control characters and DEL written as %XX, so that a text
// of any content fits a field between tabs on one line; and back (a '%'
// that does not begin two hex digits stands for itself).
// At most max_lines lines and max_characters characters of a text, cut at a
// word where one is near and ended with an ellipsis when anything was left
// out; CR LF line breaks, trailing blanks removed.
std::wstring Excerpt(std::wstring_view s, size_t max_characters, size_t max_lines);
std::string EscapedUtf8(std::wstring_view s);
std::wstring FromEscapedUtf8(std::string_view s);

}  // namespace nm::text
