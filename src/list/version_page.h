// portable: builds without Win32
#pragma once
// The small version page a vendor may publish beside the list: one <ver>
// item with the remote version and any number of <url> items naming mirrors
// of the list.
#include <string>
#include <string_view>
#include <vector>

namespace nm {

struct VersionPage {
    std::wstring version;               // "" when the page names none
    std::vector<std::wstring> mirrors;  // in page order
};

// The page's lines (at most 1024 bytes each, line ends removed), already
// converted to text, are joined without separators and read here.
VersionPage ParseVersionPage(std::wstring_view joined_lines);
// Splits raw bytes into the lines the parser expects: at most 1024 bytes
// each, with CR and LF removed.
std::vector<std::string> VersionPageLines(std::string_view bytes);

}  // namespace nm
