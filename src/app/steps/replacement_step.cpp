#include "app/steps/replacement_step.h"

#include <set>
#include <string>
#include <vector>

#include "app/steps/check_step.h"
#include "app/steps/download_step.h"
#include "base/file_ops.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "download/finished_file.h"
#include "install/app_files.h"
#include "install/install_file.h"
#include "install/library_registration.h"
#include "install/old_files.h"
#include "install/run_file.h"
#include "install/shortcuts.h"
#include "install/users_rights.h"
#include "list/entry_targets.h"
#include "list/list_entry_rules.h"
#include "list/staged_path.h"
#include "list/update_list_reader.h"
#include "services/process_services.h"
#include "services/log.h"
#include "services/status_report.h"
#include "services/update_state.h"
#include "services/window_messages.h"

namespace nm {

namespace {
// What the body found and did, for the step's end and the comparison copy.
struct Outcome {
    std::set<std::wstring> failed_paths;  // entries' paths as the list reader stores them
};

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
          old_files_list_(OldFilesList(application_directory_)),
          rights_tool_(RightsTool(settings_.ReadSwitch(L"Novamend", L"icacls", L"0"), application_directory_)) {}

    Outcome Run() {
        ShowAndLog(window_, TranslateMain(L"Copy from temporary directory"), kStatusStep);
        if (!settings_.Unzips()) {
            MoveStagedTree();
        } else {
            CopyPhase();
            TaskPhase();
            RunEntries();
            ShowAndLog(window_, TranslateMain(L"Clear temp files"), kStatusDone);
            files::RemoveDirectoryTree(work_directory_);
            ReportEnd();
        }
        InstallList();
        return std::move(outcome_);
    }

private:
    std::vector<std::wstring> Targets(const updatefileinfo& entry) const {
        return EntryTargets(entry, application_directory_);
    }

    void CopyPhase() {
        const long count = list_.FileCount();
        for (long i = 0; i < count; ++i) {
            if (window_) ::SendMessageW(window_, UM_COPYPROGRESS, i, count);
            ::Sleep(1);
            ShowStatusText(window_,
                           text::Format(TranslateMain(L"Copying files[%d/%d]..."),
                                        {std::to_wstring(i + 1), std::to_wstring(count)}),
                           kStatusProgress);
            const updatefileinfo& entry = list_.entries[i];
            if (!IsFileEntry(entry) || (entry.flags & kEntryDelete)) continue;
            const std::optional<std::wstring> staged = StagedRelativePath(entry.path);
            const std::vector<std::wstring> targets = Targets(entry);
            for (const std::wstring& target : targets) GrantUsersRights(rights_tool_, target);
            if (!staged ||
                !InstallFile(text::CollapseSeparators(work_directory_ + L"\\" + *staged), targets, old_files_list_))
                outcome_.failed_paths.insert(entry.path);
            CreateEntryShortcuts(entry, targets.front());
        }
    }

    void CreateEntryShortcuts(const updatefileinfo& entry, const std::wstring& first_target) {
        if (entry.shortcut.empty()) return;
        updatefileinfo locations = entry;
        locations.dstname = entry.shortcut;
        CreateShortcuts(first_target, entry.shortcuticon, static_cast<int>(text::ToLong(entry.iconindex)),
                        Targets(locations), window_);
    }

    void TaskPhase() {
        ShowAndLog(window_, TranslateMain(L"Do upgrade tasks"), kStatusStep);
        for (const updatefileinfo& entry : list_.entries) {
            ::Sleep(1);
            if (entry.flags == 0 || !IsFileEntry(entry)) continue;
            if (entry.flags & kEntryNeedsRestart) needs_restart_ = true;
            // A file that did not arrive is neither registered nor run.
            const bool installed = !outcome_.failed_paths.count(entry.path);
            const std::vector<std::wstring> targets = Targets(entry);
            for (size_t j = 0; j < targets.size(); ++j) {
                const std::wstring& target = targets[j];
                const std::wstring shown = text::ReplaceAll(target, application_directory_, L"");
                if ((entry.flags & kEntryRegister) && j == 0 && installed) {
                    ShowAndLog(window_, TranslateMain(L"Register file") + L"[" + shown + L"]", kStatusStep);
                    RegisterLibrary(target);
                }
                if (entry.flags & kEntryDelete) {
                    if (DeleteAppFile(target, application_directory_))
                        ShowAndLog(window_, TranslateMain(L"Remove file") + L"[" + shown + L"]", kStatusStep);
                } else if ((entry.flags & kEntryRun) && installed) {
                    RunFile(target, L"", L"", window_, false);
                }
            }
        }
    }

    void RunEntries() {
        // The check collected them from the last to the first.
        const auto& commands = list_.run_commands;
        for (auto command = commands.rbegin(); command != commands.rend(); ++command)
            RunEntry(list_entry::SplitRunCommand(*command), window_);
    }

    void ReportEnd() {
        const long count = list_.FileCount();
        if (outcome_.failed_paths.empty())
            ShowAndLog(window_,
                       text::Format(TranslateMain(L"Update completed,done %d files"), {std::to_wstring(count)}),
                       kStatusDone);
        else
            ShowAndLog(window_,
                       text::Format(TranslateMain(L"Update not completed,%d of %d files could not be replaced"),
                                    {std::to_wstring(outcome_.failed_paths.size()), std::to_wstring(count)}),
                       kStatusProblem);
        if (needs_restart_) ShowAndLog(window_, TranslateMain(L"Need to restart your computer"), kStatusStep);
    }

    // Without unpacking, the work directory's files are moved into the
    // application directory as they are, never replacing a file there; a
    // finished file arrives under its own name, bookkeeping stays behind.
    void MoveStagedTree() {
        for (const updatefileinfo& entry : list_.entries) {
            const std::optional<std::wstring> staged = StagedRelativePath(entry.path);
            if (!IsFileEntry(entry) || !staged) continue;
            const std::wstring local = text::CollapseSeparators(work_directory_ + L"\\" + *staged);
            RemoveVersionNotes(local);
            ::MoveFileW(FinishedPath(local).c_str(), local.c_str());
        }
        MoveTree(work_directory_, text::CollapseSeparators(application_directory_));
    }

    // The fetched list becomes the comparison copy; files that failed are
    // left out of it, so the next check fetches them again.
    void InstallList() {
        const std::wstring destination = text::CollapseSeparators(application_directory_ + L"\\novamend.xml");
        const std::wstring local_list = work_directory_ + L".xml";
        const std::wstring second_name = text::Contains(local_list.substr(1), L".xml.xml")
                                             ? text::ReplaceAll(local_list, L".xml.xml", L".xml")
                                             : local_list + L".xml";
        bool installed = false;
        for (const std::wstring& candidate : {local_list, second_name}) {
            if (installed || !files::Exists(candidate)) continue;
            installed = outcome_.failed_paths.empty() ? MoveWithRetry(candidate, destination)
                                                      : WriteListWithout(candidate, destination, outcome_.failed_paths);
        }
        if (!installed) {
            const std::wstring address = context_.variables.Get(L"__down|" + second_name);
            if (!address.empty() && FetchListFile(context_, address, second_name, false)) {
                if (outcome_.failed_paths.empty())
                    MoveWithRetry(second_name, destination);
                else
                    WriteListWithout(second_name, destination, outcome_.failed_paths);
            }
        }
        GrantUsersRights(rights_tool_, destination);
    }

    HWND window_;
    UpdateContext& context_;
    DownLoadList& list_;
    Settings& settings_;
    const std::wstring application_directory_, work_directory_, old_files_list_, rights_tool_;
    bool needs_restart_ = false;
    Outcome outcome_;
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
    const Outcome outcome = Replacement(window, context).Run();
    if (!outcome.failed_paths.empty()) {
        SetUpdateState(UpdateCopyError, window);
        return;
    }
    SetUpdateState(UpdateCopyOk, window);
    // A settings file that cannot be written has offered the restart with
    // raised rights already; the files are in place either way.
    if (!context.list.remote_version.empty())
        context.settings.Write(L"APPLICATION", L"Ver", context.list.remote_version);
}

}  // namespace nm
