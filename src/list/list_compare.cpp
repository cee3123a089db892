// portable: builds without Win32
#include "list/list_compare.h"

#include <string_view>
#include <unordered_map>

#include "base/text.h"

namespace nm {

std::vector<updatefileinfo> MarkChangedEntries(
    const std::vector<updatefileinfo>& fetched, const std::vector<updatefileinfo>& installed, bool check_lost_files,
    const std::function<bool(const updatefileinfo&)>& targets_missing) {
    // Path to the version of the first installed entry with that path. The
    // keys look into `installed`, which outlives the map: no path is copied.
    std::unordered_map<std::wstring_view, const std::wstring*> installed_versions;
    installed_versions.reserve(installed.size());
    for (const auto& entry : installed) installed_versions.emplace(entry.path, &entry.ver);

    std::vector<updatefileinfo> marked;
    for (const auto& entry : fetched) {
        if (entry.ver.empty()) continue;
        if (check_lost_files && IsFileEntry(entry) && !(entry.flags & kEntryDelete) && targets_missing(entry)) {
            marked.push_back(entry);
            continue;
        }
        auto found = installed_versions.find(entry.path);
        if (found == installed_versions.end() || *found->second != entry.ver) marked.push_back(entry);
    }
    return marked;
}

void SplitOffDescriptionAndRuns(std::vector<updatefileinfo>& entries, std::wstring& description,
                                std::vector<std::wstring>& run_commands) {
    std::vector<updatefileinfo> files;
    files.reserve(entries.size());
    std::wstring paragraphs;
    for (size_t i = entries.size(); i-- > 0;) {
        if (IsDescriptionEntry(entries[i])) {
            paragraphs = entries[i].path + L"\r\n" + paragraphs;
        } else if (IsRunEntry(entries[i])) {
            run_commands.push_back(entries[i].path);
        } else {
            files.push_back(std::move(entries[i]));
        }
    }
    entries.assign(std::make_move_iterator(files.rbegin()), std::make_move_iterator(files.rend()));
    description = text::ReplaceAll(text::ReplaceAll(paragraphs + description, L"\\r\\n", L"\r\n"), L"\\n", L"\r\n");
}

}  // namespace nm
