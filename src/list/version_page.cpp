// portable: builds without Win32
#include "list/version_page.h"

#include "base/text.h"

namespace nm {

VersionPage ParseVersionPage(std::wstring_view joined_lines) {
    // The names are made lower-case first, letters inside values included.
    std::wstring page = text::Trim(joined_lines);
    for (auto [from, to] : {std::pair{L"Ver", L"ver"}, {L"VER", L"ver"}, {L"URL", L"url"}, {L"Url", L"url"}})
        page = text::ReplaceAll(page, from, to);
    page = text::ReplaceAll(page, L"<ver>", L"\x05");
    page = text::ReplaceAll(page, L"<url>", L"\x06");

    VersionPage result;
    const auto version_pieces = text::Split(page, L'\x05');
    if (version_pieces.size() >= 2) {
        const std::wstring& piece = version_pieces[1];
        const size_t end = piece.find(L'<');
        if (end != std::wstring::npos && end > 0) result.version = piece.substr(0, end);
    }
    const auto url_pieces = text::Split(page, L'\x06');
    for (size_t i = 1; i < url_pieces.size(); ++i) {
        const size_t end = url_pieces[i].find(L'<');
        if (end != std::wstring::npos) result.mirrors.push_back(url_pieces[i].substr(0, end));
    }
    return result;
}

std::vector<std::string> VersionPageLines(std::string_view bytes) {
    constexpr size_t kLineLimit = 1024;
    std::vector<std::string> lines;
    std::string line;
    for (char c : bytes) {
        if (c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
            continue;
        }
        if (c == '\r') continue;
        // A longer line is read in pieces of the buffer's size.
        if (line.size() == kLineLimit - 1) {
            lines.push_back(std::move(line));
            line.clear();
        }
        line += c;
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

}  // namespace nm
