// portable: builds without Win32
#pragma once
// The language table and the line rules of language files, apart from how
// the bytes are decoded, so they can be checked anywhere.
#include <map>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

namespace nm {

// Longest piece of a line the reader takes at once; the rest of a longer
// line is read as the next line.
constexpr size_t kLanguageLineBytes = 1024;

// Splits the bytes of a language file into raw lines: each ends at a line
// feed, a zero byte or after kLanguageLineBytes bytes; trailing CR and LF are
// dropped.
std::vector<std::string> SplitLanguageLines(std::string_view bytes);

// One definition taken from a language file.
struct LanguageEntry {
    std::wstring section;
    std::wstring key;
    std::wstring text;
};

// Applies the line rules to the decoded lines of one file, in order: trailing
// white space, empty lines, comments, short lines, section headers, lines
// before the first header, "\t" and "\n", the first "=". Every file starts
// outside any section.
std::vector<LanguageEntry> ParseLanguageLines(const std::vector<std::wstring>& lines);

// Section name -> English key -> translation. Filled at start-up and read by
// any thread afterwards; a reader never sees a half-applied file.
class LanguageTable {
public:
    // Later entries replace earlier ones with the same section and key.
    void Add(const std::vector<LanguageEntry>& entries);
    // The translation when the section has a non-empty one, else the key.
    std::wstring Translate(std::wstring_view section, std::wstring_view key) const;

private:
    using Section = std::map<std::wstring, std::wstring, std::less<>>;
    mutable std::shared_mutex lock_;
    std::map<std::wstring, Section, std::less<>> sections_;
};

}  // namespace nm
