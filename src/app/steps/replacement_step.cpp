#include "app/steps/replacement_step.h"

#include <set>
#include <string>
#include <vector>

#include "app/steps/check_step.h"
#include "base/file_ops.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "download/finished_file.h"
#include "install/install_journal.h"
#include "install/interrupted_update.h"
#include "install/journaled_update.h"
#include "install/old_files.h"
#include "install/update_tasks.h"
#include "install/users_rights.h"
#include "list/entry_targets.h"
#include "list/staged_path.h"
#include "services/log.h"
#include "services/process_services.h"
#include "services/status_report.h"
#include "services/update_state.h"
#include "services/window_messages.h"

namespace nm {

namespace {
constexpr wchar_t kVersionNotesFolder[] = L"__versions4novamend";
constexpr wchar_t kOldVersionNoteSuffix[] = L".__ver";

class Replacement {
public:
    Replacement(HWND window, UpdateContext& context)
        : window_(window),
          context_(context),
          list_(context.list),
          settings_(context.settings),
          application_directory_(settings_.ApplicationDirectory()),
          work_directory_(list_.temporary_directory.empty() ? settings_.ListWorkDirectory()
                                                            : list_.temporary_directory),
          update_(application_directory_, OldFilesList(application_directory_)) {}

    // True when the update's files are all in place; false when they are all
    // as they were.
    bool Run() {
        ShowAndLog(window_, TranslateMain(L"Copy from temporary directory"), kStatusStep);
        const bool unzips = settings_.Unzips();
        const std::vector<FileChange> changes = unzips ? EntryChanges() : StagedTreeChanges();
        if (!changes_complete_ || !Prepare(changes, unzips) || !Commit()) {
            const std::wstring summary = TranslateMain(L"Update not completed,every file is as it was");
            ShowAndLog(window_, summary, kStatusProblem);
            context_.failure = summary + L"\r\n" + update_.LastFailure();
            return false;
        }
        // Without unpacking, the files arrive as they are: no tasks, no
        // closing lines.
        if (unzips) {
            const std::wstring rights_tool =
                RightsTool(settings_.ReadSwitch(L"Novamend", L"icacls", L"0"), application_directory_);
            for (const FileChange& change : changes)
                if (change.kind == FileChange::Kind::Place) GrantUsersRights(rights_tool, change.target);
            ShowAndLog(window_, TranslateMain(L"Do upgrade tasks"), kStatusStep);
            RunUpdateTasks(update_, list_, application_directory_, window_);
            ShowAndLog(window_, TranslateMain(L"Clear temp files"), kStatusDone);
        }
        update_.Finish();
        if (!unzips) RemoveBookkeeping();
        if (!list_source_.empty()) files::Delete(list_source_);  // it is the comparison copy now
        if (unzips) ReportEnd();
        return true;
    }

private:
    std::vector<std::wstring> Targets(const updatefileinfo& entry) const {
        return EntryTargets(entry, application_directory_);
    }

    // Each entry's file to each of its targets (the last one takes the staged
    // file itself, the others a copy), and each delete entry's targets.
    std::vector<FileChange> EntryChanges() {
        std::vector<FileChange> changes;
        for (size_t entry_number = 0; entry_number < list_.entries.size(); ++entry_number) {
            const updatefileinfo& entry = list_.entries[entry_number];
            if (!IsFileEntry(entry)) continue;
            const std::vector<std::wstring> targets = Targets(entry);
            if (entry.flags & kEntryDelete) {
                for (const std::wstring& target : targets)
                    changes.push_back({FileChange::Kind::Remove, target, L"", false});
                entry_of_change_.resize(changes.size(), entry_number);
                continue;
            }
            if (targets.empty()) continue;
            entry_of_change_.resize(changes.size() + targets.size(), entry_number);
            const std::optional<std::wstring> staged = StagedRelativePath(entry.path);
            if (!staged) {
                // The check refuses such paths: one here means the list changed under us.
                ShowAndLog(window_,
                           text::Format(TranslateMain(L"Refused file[%s]: its path leaves its folder"), {entry.path}),
                           kStatusProblem);
                changes_complete_ = false;
                continue;
            }
            const std::wstring source = FinishedPath(text::CollapseSeparators(work_directory_ + L"\\" + *staged));
            for (size_t k = 0; k < targets.size(); ++k)
                changes.push_back({FileChange::Kind::Place, targets[k], source, k + 1 == targets.size()});
        }
        return changes;
    }

    // Without unpacking, every file below the work directory goes to the same
    // place below the application directory, never replacing a file there
    // and never making a folder: such files stay behind. A finished file
    // arrives under its own name; bookkeeping stays behind.
    std::vector<FileChange> StagedTreeChanges() {
        std::set<std::wstring> finished;
        for (const updatefileinfo& entry : list_.entries)
            if (const auto staged = StagedRelativePath(entry.path); IsFileEntry(entry) && staged)
                finished.insert(text::Lower(FinishedPath(text::CollapseSeparators(work_directory_ + L"\\" + *staged))));
        std::vector<FileChange> changes;
        AddTreeChanges(work_directory_, text::CollapseSeparators(application_directory_), finished, changes);
        return changes;
    }

    void AddTreeChanges(const std::wstring& source, const std::wstring& destination,
                        const std::set<std::wstring>& finished, std::vector<FileChange>& changes) {
        files::ForEachEntry(source, [&](const files::FolderEntry& entry) {
            if (entry.is_link || entry.name == kVersionNotesFolder ||
                text::EndsWith(text::Lower(entry.name), kOldVersionNoteSuffix))
                return;
            const std::wstring from = source + L"\\" + entry.name;
            std::wstring to = destination + L"\\" + entry.name;
            if (entry.is_directory) {
                if (files::Exists(to)) AddTreeChanges(from, to, finished, changes);
                return;
            }
            if (finished.count(text::Lower(from))) to.pop_back();  // the "_" of a finished file
            if (!files::Exists(to)) changes.push_back({FileChange::Kind::Place, to, from, true});
        });
    }

    // The list that becomes the comparison copy: the one fetched, or its
    // second name, or else fetched once more from where the check had it.
    std::wstring ComparisonCopySource() {
        const std::wstring local_list = work_directory_ + L".xml";
        const std::wstring second_name = text::Contains(local_list.substr(1), L".xml.xml")
                                             ? text::ReplaceAll(local_list, L".xml.xml", L".xml")
                                             : local_list + L".xml";
        for (const std::wstring& candidate : {local_list, second_name})
            if (files::Exists(candidate)) return candidate;
        const std::wstring address = context_.variables.Get(L"__down|" + second_name);
        if (!address.empty() && FetchListFile(context_, address, second_name, false)) return second_name;
        // Without it the comparison copy stays as it is, and the next check
        // finds these files again.
        return {};
    }

    bool Prepare(const std::vector<FileChange>& changes, bool unzips) {
        list_source_ = ComparisonCopySource();
        UpdateFinish finish;
        if (!list_.remote_version.empty()) finish.version = list_.remote_version;
        finish.list_source = list_source_;
        finish.comparison_copy = text::CollapseSeparators(application_directory_ + L"\\novamend.xml");
        finish.saved_list = unzips ? SavedUpdateListPath(application_directory_) : L"";
        finish.work_directory = unzips ? work_directory_ : L"";
        const long count = list_.FileCount();
        long reported = 0;
        return update_.Prepare(
            changes, finish, [&] { return list_.SaveTo(finish.saved_list); },
            [&](size_t change) {
                // A progress line for every entry up to the change's own.
                const long entry = change < entry_of_change_.size() ? static_cast<long>(entry_of_change_[change]) : 0;
                for (; reported <= entry && reported < count; ++reported) {
                    if (window_) ::SendMessageW(window_, UM_COPYPROGRESS, reported, count);
                    ::Sleep(1);
                    ShowStatusText(window_,
                                   text::Format(TranslateMain(L"Copying files[%d/%d]..."),
                                                {std::to_wstring(reported + 1), std::to_wstring(count)}),
                                   kStatusProgress);
                }
            });
    }

    bool Commit() {
        return update_.Commit([&](const install_journal::Step& step) {
            if (step.kind == install_journal::StepKind::Remove) {
                const std::wstring shown = text::ReplaceAll(step.target, application_directory_, L"");
                ShowAndLog(window_, TranslateMain(L"Remove file") + L"[" + shown + L"]", kStatusStep);
            } else {
                WriteLog(text::Format(TranslateMain(L"update file[%s]"), {step.target}));
            }
        });
    }

    // The versions noted for the staged files go with the work directory;
    // without unpacking it stays, and they are cleared here. A file that
    // stayed behind takes its own name, as it would have had in place (and
    // is no finished file any more for a later download).
    void RemoveBookkeeping() {
        for (const updatefileinfo& entry : list_.entries) {
            const auto staged = StagedRelativePath(entry.path);
            if (!IsFileEntry(entry) || !staged) continue;
            const std::wstring local = text::CollapseSeparators(work_directory_ + L"\\" + *staged);
            RemoveVersionNotes(local);
            files::Move(FinishedPath(local), local);
        }
    }

    void ReportEnd() {
        ShowAndLog(window_,
                   text::Format(TranslateMain(L"Update completed,done %d files"), {std::to_wstring(list_.FileCount())}),
                   kStatusDone);
        for (const updatefileinfo& entry : list_.entries) {
            if (IsFileEntry(entry) && (entry.flags & kEntryNeedsRestart)) {
                ShowAndLog(window_, TranslateMain(L"Need to restart your computer"), kStatusStep);
                return;
            }
        }
    }

    HWND window_;
    UpdateContext& context_;
    DownLoadList& list_;
    Settings& settings_;
    const std::wstring application_directory_, work_directory_;
    JournaledUpdate update_;
    std::wstring list_source_;
    bool changes_complete_ = true;
    std::vector<size_t> entry_of_change_;  // the list entry each change comes from
};

// Disables the Cancel button of the progress window's parent while alive.
class CancelDisabled {
public:
    explicit CancelDisabled(HWND window) {
        HWND parent = window ? ::GetParent(window) : nullptr;
        cancel_ = parent ? ::GetDlgItem(parent, IDCANCEL) : nullptr;
        if (cancel_) ::EnableWindow(cancel_, FALSE);
    }
    CancelDisabled(const CancelDisabled&) = delete;
    CancelDisabled& operator=(const CancelDisabled&) = delete;
    ~CancelDisabled() {
        if (cancel_) ::EnableWindow(cancel_, TRUE);
    }

private:
    HWND cancel_ = nullptr;
};
}  // namespace

void ReplacementStep(UpdateContext& context, HWND window) {
    if (window && !::IsWindow(window)) window = nullptr;
    if (CurrentUpdateState() != UpdateCheckLocalOk) return;
    SetUpdateState(UpdateCopy, window);
    com_apartment com;
    CancelDisabled cancel(window);
    const std::wstring application_directory = context.settings.ApplicationDirectory();
    // One updater at a time changes the application's files; one that ended
    // in the middle has left its journal, settled first.
    std::lock_guard install_lock(InstallLockOf(application_directory));
    const bool replaced = SettleInterruptedUpdate(application_directory, window) && Replacement(window, context).Run();
    SetUpdateState(replaced ? UpdateCopyOk : UpdateCopyError, window);
}

}  // namespace nm
