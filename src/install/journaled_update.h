#pragma once
// The file changes of one update, all or nothing. First every new file is
// put beside its target on the target's volume and every change is written
// to the journal, which is flushed before the first old file is touched;
// a failure then takes back what was prepared. Then the swaps are made, old
// files moved aside under a backup name (a running program can be renamed,
// not deleted), each recorded as it happens; a failure undoes every swap in
// reverse. Only after the last swap is the update committed: the backups go
// (those still in use are listed in __oldfiles.lst), and the update's tasks
// and its comparison copy follow. A later start settles a journal that an
// interrupted update left: forward when everything was prepared, back
// otherwise.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "install/install_journal.h"
#include "install/install_journal_format.h"

namespace nm {

// One change the update makes to the application's files.
struct FileChange {
    enum class Kind { Place, Remove };
    Kind kind = Kind::Place;
    std::wstring target;
    // Place: the downloaded file. The change may move it beside its target
    // (the last target of an entry does) or must leave it and copy it.
    std::wstring staged;
    bool may_move_staged = true;
};

// What the update does once its files are in place, carried by the journal
// so that a later start can finish it.
struct UpdateFinish {
    std::optional<std::wstring> version;  // what [APPLICATION] Ver becomes
    std::wstring list_source;             // the list that becomes the comparison copy ("" for none)
    std::wstring comparison_copy;
    std::wstring saved_list;      // the update list, saved for its tasks ("" for none)
    std::wstring work_directory;  // cleared at the end ("" to leave it)
};

class JournaledUpdate {
public:
    JournaledUpdate(std::wstring application_directory, std::wstring old_files_list);
    ~JournaledUpdate();
    JournaledUpdate(const JournaledUpdate&) = delete;
    JournaledUpdate& operator=(const JournaledUpdate&) = delete;

    // Prepares every change. On failure (said in the log, with the system's
    // reason) what was prepared is taken back, the journal is gone and the
    // application is as it was. `before_change(i)` comes before change i.
    bool Prepare(const std::vector<FileChange>& changes, const UpdateFinish& finish,
                 const std::function<bool()>& save_list, const std::function<void(size_t change)>& before_change = {});
    // Makes the swaps; on failure undoes them and the preparation. After a
    // made step, `step_made(step)` is told of it.
    bool Commit(const std::function<void(const install_journal::Step&)>& step_made = {});

    // Takes up a journal an interrupted update left; false when there is none
    // that this build can settle.
    bool Resume(const install_journal::Journal& journal);
    // The journal's own way: forward, or back when it was not prepared, was
    // going back, or a file cannot go forward now. True when the files are
    // all new (Committed()) or all old (and the journal gone); false leaves
    // the journal for a later start.
    bool SettleFiles();

    // After the commit: the update's task k runs at most once.
    bool TaskBegun(std::uint32_t task) const;
    void BeginTask(std::uint32_t task);

    // After the tasks: the comparison copy in one replacing move, the
    // version, the work directory, and the journal itself.
    void Finish();

    bool Committed() const { return journal_.committed; }
    bool RollingBack() const { return journal_.rolling_back; }
    const install_journal::Journal& Journal() const { return journal_; }
    std::wstring NewListPath() const;
    // The line that said why the last preparation, swap or undo failed.
    const std::wstring& LastFailure() const { return last_failure_; }

private:
    class FolderNames;

    bool PrepareChange(const FileChange& change);
    bool MakeFolders(const std::wstring& file_path);
    std::optional<std::wstring> FreeBackupName(const std::wstring& target);
    bool Record(const std::string& record);
    bool MakeStep(std::uint32_t index);
    bool UndoStep(std::uint32_t index);
    void TakeBackPreparation();
    bool RollBack();
    void DeleteBackups();

    std::wstring application_directory_;
    std::wstring old_files_list_;
    InstallJournalFile file_;
    install_journal::Journal journal_;
    bool resumed_ = false;
    std::wstring last_failure_;  // taken up from a journal: the files tell how far it got
    // While preparing: what the folders held, and what is planned already.
    std::unique_ptr<FolderNames> names_;
    std::unique_ptr<FolderNames> resumed_names_;  // taken up from a journal: the ready files left
    std::set<std::wstring> known_folders_, planned_targets_;
};

}  // namespace nm
