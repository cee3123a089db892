// portable: builds without Win32
#include "list/list_compare.h"

#include <string_view>

#include "base/text.h"

namespace nm {

void AddListVersion(ListVersions& versions, const updatefileinfo& entry) { versions.Insert(entry.path, entry.ver); }

ListVersions VersionsByPath(const std::vector<updatefileinfo>& entries) {
    ListVersions versions;
    for (const auto& entry : entries) AddListVersion(versions, entry);
    return versions;
}

std::vector<updatefileinfo> MarkChangedEntries(const std::vector<updatefileinfo>& fetched,
                                               const ListVersions& installed, bool check_lost_files,
                                               const std::function<bool(const updatefileinfo&)>& targets_missing) {
    std::vector<updatefileinfo> marked;
    for (const auto& entry : fetched) {
        if (entry.ver.empty()) continue;
        if (check_lost_files && IsFileEntry(entry) && !(entry.flags & kEntryDelete) && targets_missing(entry)) {
            marked.push_back(entry);
            continue;
        }
        const std::wstring_view* installed_version = installed.Find(entry.path);
        if (!installed_version || *installed_version != entry.ver) marked.push_back(entry);
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
