// portable: builds without Win32
#pragma once
// The list of old files a replacement moved aside (__oldfiles.lst): each
// record is CR LF and a full path, appended at the end. Paths are ANSI text;
// a path the ANSI code page cannot hold is written in UTF-8 behind a UTF-8
// byte-order mark, so that it is still found and removed at the next start.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nm::old_files {

inline constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// The bytes appended for one path, given the path in the ANSI code page
// when it can hold it.
std::string Record(std::wstring_view path, const std::optional<std::string>& ansi_path);

// The paths of a list, in order: each line up to a line feed, CR and LF
// dropped, decoded (UTF-8 behind the mark, ANSI otherwise), trimmed; empty
// lines skipped.
std::vector<std::wstring> Paths(std::string_view bytes,
                                const std::function<std::wstring(std::string_view)>& decode_ansi);

}  // namespace nm::old_files
