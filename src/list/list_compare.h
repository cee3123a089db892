// portable: builds without Win32
#pragma once
// Which entries of a fetched list need work, compared with the list as it
// stood after the last update.
#include <functional>
#include <string>
#include <vector>

#include "base/text_table.h"
#include "list/list_entry.h"

namespace nm {

// The version of each path of a list, as the comparison looks them up: the
// version of the first entry with that exact path.
using ListVersions = TextTable;
void AddListVersion(ListVersions& versions, const updatefileinfo& entry);
ListVersions VersionsByPath(const std::vector<updatefileinfo>& entries);

// The entries of `fetched` to work on, in list order: an entry with a
// version whose path is new, whose version text differs from the one in
// `installed`, or (with check_lost_files) a file entry that is not a deletion
// and one of whose targets is missing. Linear time.
std::vector<updatefileinfo> MarkChangedEntries(const std::vector<updatefileinfo>& fetched,
                                               const ListVersions& installed, bool check_lost_files,
                                               const std::function<bool(const updatefileinfo&)>& targets_missing);

// Takes the description and run entries out of the marked entries: the
// description paragraphs joined in list order (CR LF after each, "\r\n" and
// "\n" escapes turned into CR LF), the run commands in reverse list order.
void SplitOffDescriptionAndRuns(std::vector<updatefileinfo>& entries, std::wstring& description,
                                std::vector<std::wstring>& run_commands);

}  // namespace nm
