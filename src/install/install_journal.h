#pragma once
// The journal file of an update's file changes: appended to record by
// record, flushed to the disk where the order of events must survive a
// power cut, and read back by whichever process settles it.
#include <string>
#include <string_view>

#include "base/unique_handle.h"
#include "install/install_journal_format.h"

namespace nm {

// Its path in an application directory, and the update list its tasks are
// read from beside it.
std::wstring InstallJournalPath(const std::wstring& application_directory);
std::wstring SavedUpdateListPath(const std::wstring& application_directory);

class InstallJournalFile {
public:
    // A new journal, holding only its header; false when it cannot be made.
    bool Create(const std::wstring& path);
    // An existing journal, to append to.
    bool OpenExisting(const std::wstring& path);
    bool Append(std::string_view record);
    // Everything appended so far is on the disk when this returns true.
    bool Flush();
    // Closes and deletes the file: the update it describes is settled.
    bool Remove();
    bool IsOpen() const { return static_cast<bool>(file_); }

private:
    std::wstring path_;
    unique_hfile file_;
};

// What the journal at path says; false when there is none, it cannot be
// read, or it is not one this build writes.
bool ReadInstallJournal(const std::wstring& path, install_journal::Journal& journal);

}  // namespace nm
