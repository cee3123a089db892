// portable: builds without Win32
#include "services/language_table.h"

#include <mutex>

#include "base/text.h"

namespace nm {

namespace {

bool IsTrailingSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

bool IsComment(std::wstring_view line) {
    return line[0] == L';' || line[0] == L'\'' || text::StartsWith(line, L"//") || text::StartsWith(line, L"\\\\");
}

}  // namespace

std::vector<std::string> SplitLanguageLines(std::string_view bytes) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < bytes.size()) {
        std::string line;
        while (at < bytes.size() && line.size() < kLanguageLineBytes) {
            const char c = bytes[at++];
            if (c == '\0') break;
            line += c;
            if (c == '\n') break;
        }
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<LanguageEntry> ParseLanguageLines(const std::vector<std::wstring>& lines) {
    std::vector<LanguageEntry> entries;
    std::wstring section;
    bool in_section = false;
    for (std::wstring line : lines) {
        while (!line.empty() && IsTrailingSpace(line.back())) line.pop_back();
        if (line.empty() || IsComment(line) || line.size() < 4) continue;
        if (line.front() == L'[' && line.back() == L']') {
            section = line.substr(1, line.size() - 2);
            in_section = true;
            continue;
        }
        if (!in_section) continue;
        line = text::ReplaceAll(text::ReplaceAll(line, L"\\t", L"\t"), L"\\n", L"\n");
        const size_t equals = line.find(L'=');
        if (equals == std::wstring::npos) continue;
        entries.push_back({section, line.substr(0, equals), line.substr(equals + 1)});
    }
    return entries;
}

void LanguageTable::Add(const std::vector<LanguageEntry>& entries) {
    std::unique_lock guard(lock_);
    for (const LanguageEntry& entry : entries) sections_[entry.section][entry.key] = entry.text;
}

std::wstring LanguageTable::Translate(std::wstring_view section, std::wstring_view key) const {
    std::shared_lock guard(lock_);
    auto found_section = sections_.find(section);
    if (found_section == sections_.end()) return std::wstring(key);
    auto found_key = found_section->second.find(key);
    if (found_key == found_section->second.end() || found_key->second.empty()) return std::wstring(key);
    return found_key->second;
}

}  // namespace nm
