#include "install/journaled_update.h"

#include <windows.h>

#include <map>
#include <set>

#include "base/file_ops.h"
#include "base/system_error.h"
#include "base/text.h"
#include "install/old_files.h"
#include "services/log.h"
#include "services/process_services.h"

namespace nm {

namespace ij = install_journal;

namespace {
constexpr int kNumberedBackups = 10;

std::wstring LogFailure(const wchar_t* format, const std::wstring& from, const std::wstring& to, DWORD error) {
    const std::wstring line = text::Format(TranslateMain(format), {from, to}) + SystemReason(error);
    WriteLog(line);
    return line;
}

std::wstring LogFailure(const wchar_t* format, const std::wstring& path, DWORD error) {
    const std::wstring line = text::Format(TranslateMain(format), {path}) + SystemReason(error);
    WriteLog(line);
    return line;
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

// The names a preparation asks about, a folder listed once: under Wine every
// look for a name that is not there reads its whole folder, and an update
// asks about two names for every file.
class JournaledUpdate::FolderNames {
public:
    bool Has(const std::wstring& path) {
        const size_t slash = path.find_last_of(L"\\/");
        if (slash == std::wstring::npos) return files::Exists(path);
        auto [names, listed] = folders_.try_emplace(text::Lower(path.substr(0, slash)));
        if (listed) {
            files::ForEachEntry(path.substr(0, slash), [&](const files::FolderEntry& entry) {
                names->second.insert(text::Lower(entry.name));
            });
        }
        return names->second.count(text::Lower(path.substr(slash + 1))) > 0;
    }

private:
    std::map<std::wstring, std::set<std::wstring>> folders_;
};

JournaledUpdate::JournaledUpdate(std::wstring application_directory, std::wstring old_files_list)
    : application_directory_(std::move(application_directory)), old_files_list_(std::move(old_files_list)) {}

JournaledUpdate::~JournaledUpdate() = default;

std::wstring JournaledUpdate::NewListPath() const {
    return text::CollapseSeparators(application_directory_ + L"\\novamend.xml.__new");
}

bool JournaledUpdate::Record(const std::string& record) {
    if (file_.Append(record)) return true;
    last_failure_ = LogFailure(L"write file error[%s]", InstallJournalPath(application_directory_), ::GetLastError());
    return false;
}

bool JournaledUpdate::Prepare(const std::vector<FileChange>& changes, const UpdateFinish& finish,
                              const std::function<bool()>& save_list,
                              const std::function<void(size_t change)>& before_change) {
    journal_ = {};
    resumed_ = false;
    names_ = std::make_unique<FolderNames>();
    known_folders_.clear();
    planned_targets_.clear();
    const std::wstring journal_path = InstallJournalPath(application_directory_);
    bool ok = file_.Create(journal_path);
    if (!ok) last_failure_ = LogFailure(L"write file error[%s]", journal_path, ::GetLastError());
    if (ok && finish.version) {
        journal_.version = finish.version;
        ok = Record(ij::VersionRecord(*finish.version));
    }
    if (ok && !finish.work_directory.empty()) {
        journal_.work_directory = finish.work_directory;
        ok = Record(ij::WorkRecord(finish.work_directory));
    }
    if (ok && !finish.list_source.empty()) {
        journal_.new_list = NewListPath();
        journal_.comparison_copy = finish.comparison_copy;
        ok = Record(ij::ListRecord(journal_.new_list, journal_.comparison_copy));
        if (ok && !files::CopyReplacing(finish.list_source, journal_.new_list)) {
            last_failure_ =
                LogFailure(L"copy file error[%s]to[%s]", finish.list_source, journal_.new_list, ::GetLastError());
            ok = false;
        }
    }
    if (ok && !finish.saved_list.empty()) {
        journal_.saved_list = finish.saved_list;
        ok = Record(ij::SavedListRecord(finish.saved_list));
        if (ok && !save_list()) {
            last_failure_ = LogFailure(L"write file error[%s]", finish.saved_list, ::GetLastError());
            ok = false;
        }
    }
    for (size_t i = 0; ok && i < changes.size(); ++i) {
        if (before_change) before_change(i);
        ok = PrepareChange(changes[i]);
    }
    // Flushed before any old file is touched: whatever happens from here, a
    // later start finds everything it needs to finish the update.
    if (ok) ok = Record(ij::PreparedRecord()) && file_.Flush();
    names_.reset();
    if (!ok) {
        TakeBackPreparation();
        return false;
    }
    journal_.prepared = true;
    return true;
}

bool JournaledUpdate::MakeFolders(const std::wstring& file_path) {
    std::vector<std::wstring> missing;
    for (std::wstring folder = FolderOf(file_path); folder.size() > 3 && !known_folders_.count(text::Lower(folder));
         folder = FolderOf(folder)) {
        if (files::Exists(folder)) break;
        missing.push_back(folder);
    }
    for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
        // Noted first, so that taking the update back removes it again.
        journal_.made_folders.push_back(*folder);
        if (!Record(ij::FolderRecord(*folder))) return false;
        if (!::CreateDirectoryW(folder->c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
            last_failure_ = LogFailure(L"create folder error[%s]", *folder, ::GetLastError());
            return false;
        }
    }
    known_folders_.insert(text::Lower(FolderOf(file_path)));
    return true;
}

std::optional<std::wstring> JournaledUpdate::FreeBackupName(const std::wstring& target) {
    std::vector<std::wstring> names{target + L".__old"};
    for (int i = 0; i < kNumberedBackups; ++i) names.push_back(target + L".__old" + std::to_wstring(i));
    for (const std::wstring& name : names) {
        if (!names_->Has(name)) return name;
        // An earlier update's backup that is still in use holds the name.
        last_failure_ = LogFailure(L"backup file error[%s]to[%s]", target, name, ERROR_ALREADY_EXISTS);
    }
    return std::nullopt;
}

bool JournaledUpdate::PrepareChange(const FileChange& change) {
    const auto index = static_cast<std::uint32_t>(journal_.steps.size());
    ij::Step step;
    step.target = change.target;
    if (change.kind == FileChange::Kind::Remove) {
        if (!names_->Has(change.target)) return true;  // nothing to remove
        step.kind = ij::StepKind::Remove;
        const auto backup = FreeBackupName(change.target);
        if (!backup) return false;
        step.backup = *backup;
        journal_.steps.push_back(step);
        return Record(ij::StepRecord(index, step));
    }
    // A target named twice is put in place once, by the first that names it.
    if (!planned_targets_.insert(text::Lower(change.target)).second) return true;
    if (!MakeFolders(change.target)) return false;
    step.kind = ij::StepKind::Replace;
    step.ready = change.target + L".__new";
    if (names_->Has(change.target)) {
        const auto backup = FreeBackupName(change.target);
        if (!backup) return false;
        step.backup = *backup;
    }
    journal_.steps.push_back(step);
    if (!Record(ij::StepRecord(index, step))) return false;
    ij::Step& recorded = journal_.steps.back();
    if (change.may_move_staged) {
        recorded.made = ij::ReadyMade::Moved;
        recorded.staged = change.staged;
        if (!Record(ij::ReadyRecord(index, recorded.made, recorded.staged))) return false;
        if (files::Move(change.staged, recorded.ready)) return true;
        DWORD error = ::GetLastError();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
            // Left by an attempt that ended before it could take it back.
            files::Delete(recorded.ready);
            if (files::Move(change.staged, recorded.ready)) return true;
            error = ::GetLastError();
        }
        if (error != ERROR_NOT_SAME_DEVICE) {
            last_failure_ = LogFailure(L"move file error[%s]to[%s]", change.staged, recorded.ready, error);
            return false;
        }
    }
    // Another volume, or a staged file that later targets still need: a copy.
    recorded.made = ij::ReadyMade::Copied;
    recorded.staged.clear();
    if (!Record(ij::ReadyRecord(index, recorded.made, L""))) return false;
    if (files::CopyReplacing(change.staged, recorded.ready)) return true;
    last_failure_ = LogFailure(L"copy file error[%s]to[%s]", change.staged, recorded.ready, ::GetLastError());
    return false;
}

bool JournaledUpdate::MakeStep(std::uint32_t index) {
    const ij::Step& step = journal_.steps[index];
    if (step.kind == ij::StepKind::Remove) {
        if (files::Move(step.target, step.backup)) return true;
        const DWORD error = ::GetLastError();
        if (!files::Exists(step.target)) return true;  // aside already
        last_failure_ = LogFailure(L"backup file error[%s]to[%s]", step.target, step.backup, error);
        return false;
    }
    // Taken up from a journal: a step made before has no ready file left.
    // Each ready name is asked about once, before its own step moves it, so
    // a listing of its folder answers (made once per folder, not per file).
    if (resumed_ && !resumed_names_->Has(step.ready)) {
        if (files::Exists(step.target)) return true;
        last_failure_ = LogFailure(L"move file error[%s]to[%s]", step.ready, step.target, ERROR_FILE_NOT_FOUND);
        return false;
    }
    if (!step.backup.empty() && !files::Move(step.target, step.backup)) {
        const DWORD error = ::GetLastError();
        // Held without sharing, or the backup's name taken since: the old file
        // stays, and the update is undone.
        if (files::Exists(step.target)) {
            last_failure_ = LogFailure(L"backup file error[%s]to[%s]", step.target, step.backup, error);
            return false;
        }
    }
    if (files::Move(step.ready, step.target)) return true;
    last_failure_ = LogFailure(L"move file error[%s]to[%s]", step.ready, step.target, ::GetLastError());
    return false;
}

bool JournaledUpdate::UndoStep(std::uint32_t index) {
    const ij::Step& step = journal_.steps[index];
    // Each undo looks before it moves, so that it is right for a step made,
    // half made or not made at all.
    if (step.kind == ij::StepKind::Replace && !files::Exists(step.ready) && files::Exists(step.target) &&
        !files::Move(step.target, step.ready)) {
        last_failure_ = LogFailure(L"move file error[%s]to[%s]", step.target, step.ready, ::GetLastError());
        return false;
    }
    if (!step.backup.empty() && files::Exists(step.backup) && !files::Exists(step.target) &&
        !files::Move(step.backup, step.target)) {
        last_failure_ = LogFailure(L"move file error[%s]to[%s]", step.backup, step.target, ::GetLastError());
        return false;
    }
    return true;
}

void JournaledUpdate::TakeBackPreparation() {
    // Whatever cannot be taken back is left for the next start's clean-up:
    // it is never one of the application's own files.
    for (auto step = journal_.steps.rbegin(); step != journal_.steps.rend(); ++step) {
        if (step->kind != ij::StepKind::Replace) continue;
        // The staged file goes back where it was, so nothing is fetched again.
        if (step->made == ij::ReadyMade::Moved && files::Move(step->ready, step->staged)) continue;
        files::Delete(step->ready);
    }
    if (!journal_.new_list.empty()) files::Delete(journal_.new_list);
    if (!journal_.saved_list.empty()) files::Delete(journal_.saved_list);
    for (auto folder = journal_.made_folders.rbegin(); folder != journal_.made_folders.rend(); ++folder)
        files::RemoveEmptyDirectory(*folder);
    file_.Remove();
}

bool JournaledUpdate::RollBack() {
    journal_.rolling_back = true;
    // So that a start after an end in the middle goes on back, not forward.
    if (Record(ij::RollbackRecord())) file_.Flush();
    bool undone = true;
    for (auto index = journal_.steps.size(); index-- > 0;)
        undone = UndoStep(static_cast<std::uint32_t>(index)) && undone;
    // A file that could not go back keeps the journal, for a later start.
    if (!undone) return false;
    TakeBackPreparation();
    return true;
}

bool JournaledUpdate::Commit(const std::function<void(const ij::Step&)>& step_made) {
    for (std::uint32_t index = 0; index < journal_.steps.size(); ++index) {
        if (!MakeStep(index)) {
            RollBack();
            return false;
        }
        // A hint for whoever reads the journal: the files themselves tell
        // which steps were made.
        Record(ij::DoneRecord(index));
        if (step_made) step_made(journal_.steps[index]);
    }
    journal_.committed = true;
    // Unflushed it costs nothing: a start that finds no commit makes the
    // steps again, and they are all made.
    Record(ij::CommittedRecord());
    file_.Flush();
    DeleteBackups();
    return true;
}

void JournaledUpdate::DeleteBackups() {
    for (const ij::Step& step : journal_.steps) {
        if (step.backup.empty() || files::Delete(step.backup)) continue;
        // A program still running, or a library still loaded: it goes at the next start.
        if (::GetLastError() != ERROR_FILE_NOT_FOUND && files::Exists(step.backup))
            RecordOldFile(old_files_list_, step.backup);
    }
}

bool JournaledUpdate::Resume(const ij::Journal& journal) {
    journal_ = journal;
    resumed_ = true;
    resumed_names_ = std::make_unique<FolderNames>();
    return file_.OpenExisting(InstallJournalPath(application_directory_));
}

bool JournaledUpdate::SettleFiles() {
    if (ij::Direction(journal_) == ij::Settle::Back) {
        if (journal_.prepared) return RollBack();
        TakeBackPreparation();
        return true;
    }
    if (!journal_.committed) {
        for (std::uint32_t index = 0; index < journal_.steps.size(); ++index) {
            if (MakeStep(index)) continue;
            // A file that another program holds now: back to the old files,
            // which the backups still hold.
            return RollBack();
        }
        journal_.committed = true;
        Record(ij::CommittedRecord());
        file_.Flush();
    }
    DeleteBackups();
    return true;
}

bool JournaledUpdate::TaskBegun(std::uint32_t task) const { return journal_.tasks_begun.count(task) > 0; }

void JournaledUpdate::BeginTask(std::uint32_t task) {
    journal_.tasks_begun.insert(task);
    // On the disk before the task begins: it runs at most once, whatever ends
    // the process while it runs.
    if (Record(ij::TaskRecord(task))) file_.Flush();
}

void JournaledUpdate::Finish() {
    if (!journal_.new_list.empty() && !journal_.comparison_copy.empty() &&
        !files::MoveReplacing(journal_.new_list, journal_.comparison_copy) && files::Exists(journal_.new_list))
        last_failure_ =
            LogFailure(L"move file error[%s]to[%s]", journal_.new_list, journal_.comparison_copy, ::GetLastError());
    // A settings file that cannot be written has offered the restart with
    // raised rights already; the files are in place either way.
    if (journal_.version) Services().settings.Write(L"APPLICATION", L"Ver", *journal_.version);
    if (!journal_.work_directory.empty()) files::RemoveDirectoryTree(journal_.work_directory);
    if (!journal_.saved_list.empty()) files::Delete(journal_.saved_list);
    file_.Remove();
}

}  // namespace nm
