// portable: builds without Win32
#include "download/version_journal.h"

#include "base/text.h"

namespace nm::version_journal {

namespace {
constexpr std::string_view kForgotten = "%";

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether a name of the journal is the wanted one (already lower case), in
// any case. Names in ASCII, nearly all, are compared byte by byte: a step
// that resumes thousands of finished files reads the journal once for each.
bool SameName(std::string_view name, const std::string& wanted) {
    bool ascii = true;
    for (char c : name) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (!ascii) return text::ToUtf8(text::Lower(text::FromUtf8(name))) == wanted;
    if (name.size() != wanted.size()) return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (AsciiLower(name[i]) != wanted[i]) return false;
    return true;
}
}  // namespace

std::string EncodeVersion(std::wstring_view version) { return text::EscapedUtf8(version); }

std::string Record(std::wstring_view name, std::optional<std::wstring_view> version) {
    std::string record = "\n";
    record += text::ToUtf8(name);
    record += '\t';
    record += version ? EncodeVersion(*version) : std::string(kForgotten);
    record += '\t';
    return record;
}

Lookup Find(std::string_view journal, std::wstring_view name) {
    const std::string wanted = text::ToUtf8(text::Lower(name));
    Lookup found;
    size_t start = 0;
    while (start <= journal.size()) {
        size_t end = journal.find('\n', start);
        if (end == std::string_view::npos) end = journal.size();
        const std::string_view line = journal.substr(start, end - start);
        start = end + 1;
        // name TAB version TAB, and nothing after: anything else was cut short.
        const size_t first_tab = line.find('\t');
        if (first_tab == 0 || first_tab == std::string_view::npos || line.back() != '\t') continue;
        const std::string_view version = line.substr(first_tab + 1, line.size() - first_tab - 2);
        if (first_tab + 1 == line.size() || version.find('\t') != std::string_view::npos) continue;
        if (!SameName(line.substr(0, first_tab), wanted)) continue;
        found.noted = version == kForgotten ? Noted::Forgotten : Noted::Version;
        found.encoded_version = std::string(version);
    }
    return found;
}

}  // namespace nm::version_journal
