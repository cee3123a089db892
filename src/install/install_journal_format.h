// portable: builds without Win32
#pragma once
// The journal of one update's file changes (__install.journal in the
// application directory): what the update will change, written before it
// changes anything, and how far it got. It lets any later start put an
// interrupted update right: forward to the new files when everything was
// prepared, back to the old ones otherwise.
//
// Text, one record a line: fields apart by TAB, each in UTF-8 with '%' and
// control characters as %XX, every line ended by "\n". A line without its
// "\n" was cut short by the end of the process and counts for nothing.
//
//   novamend install journal 1                   the first line
//   version  <version>                           what [APPLICATION] Ver becomes
//   list     <new copy> <comparison copy>        the list that becomes the comparison copy
//   tasks    <saved list>                        the update list its tasks are read from
//   work     <folder>                            the work directory, cleared at the end
//   folder   <folder>                            a folder the update made
//   step <i> replace <target> <ready> <backup>   ready takes target's place; the old file, when there
//                                                is one, goes to backup
//   step <i> remove <target> <backup>            target goes to backup
//   ready <i> moved <staged>                     ready is the staged file, moved beside its target
//   ready <i> copied                             ready is a copy of it
//   prepared                                     everything is in place for the swaps
//   done <i>                                     step i was made
//   rollback                                     the update is being undone
//   committed                                    every step was made
//   task <k>                                     task k of the list is begun (it runs at most once)
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace nm::install_journal {

enum class StepKind { Replace, Remove };
enum class ReadyMade { Unknown, Moved, Copied };

struct Step {
    StepKind kind = StepKind::Replace;
    std::wstring target;
    std::wstring ready;   // Replace: the new file beside the target
    std::wstring backup;  // where the old file goes; empty when there is none
    ReadyMade made = ReadyMade::Unknown;
    std::wstring staged;  // ReadyMade::Moved: where ready came from
};

struct Journal {
    std::optional<std::wstring> version;
    std::wstring new_list, comparison_copy;
    std::wstring saved_list;
    std::wstring work_directory;
    std::vector<std::wstring> made_folders;
    std::vector<Step> steps;
    bool prepared = false;
    bool rolling_back = false;
    bool committed = false;
    std::set<std::uint32_t> done;
    std::set<std::uint32_t> tasks_begun;
};

// The records, each a whole line.
std::string Header();
std::string VersionRecord(std::wstring_view version);
std::string ListRecord(std::wstring_view new_list, std::wstring_view comparison_copy);
std::string SavedListRecord(std::wstring_view saved_list);
std::string WorkRecord(std::wstring_view work_directory);
std::string FolderRecord(std::wstring_view folder);
std::string StepRecord(std::uint32_t index, const Step& step);
std::string ReadyRecord(std::uint32_t index, ReadyMade made, std::wstring_view staged);
std::string DoneRecord(std::uint32_t index);
std::string TaskRecord(std::uint32_t index);
std::string PreparedRecord();
std::string RollbackRecord();
std::string CommittedRecord();

// The journal as far as its whole lines go. False for bytes that are not a
// journal of this shape (no header, a step out of order): such a file is
// left alone.
bool Parse(std::string_view bytes, Journal& journal);

// Which way an interrupted update is settled.
enum class Settle { Forward, Back };
Settle Direction(const Journal& journal);

}  // namespace nm::install_journal
