#include "app/update_cycle.h"

#include <windows.h>

#include <atomic>
#include <utility>

#include "app/cycle_runner.h"
#include "app/dotnet_check.h"
#include "app/exit_code.h"
#include "app/list_address.h"
#include "app/update_app.h"
#include "base/file_ops.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "install/elevation.h"
#include "install/interrupted_update.h"
#include "install/run_file.h"
#include "list/list_entry.h"
#include "services/host_windows.h"
#include "services/log.h"
#include "services/process_services.h"
#include "services/status_report.h"
#include "services/update_state.h"
#include "ui/progress_dialog.h"
#include "ui/tray_window.h"

namespace nm {

namespace {
// The default mode's worker behind the progress dialog.
constexpr CycleRow kDialogCycle[] = {
    {CycleStep::Check, RunsWhen::BeforeItsOkState},
    {CycleStep::CheckAgain, RunsWhen::AnotherPassNeeded},
    {CycleStep::Download, RunsWhen::BeforeItsOkStateWithFiles},
    {CycleStep::LocalCheck, RunsWhen::BeforeItsOkStateWithFiles},
    {CycleStep::Copy, RunsWhen::BeforeItsOkStateWithFiles},
};

// silence. A local check that asks for raised rights ends in its error
// state and hands the update to the elevated copy.
constexpr CycleRow kUnattendedCycle[] = {
    {CycleStep::Check, RunsWhen::BeforeItsOkState},
    {CycleStep::Download, RunsWhen::InState, OnError::Stop, UpdateCheckRemoteOk},
    {CycleStep::LocalCheck, RunsWhen::InState, OnError::GoOn, UpdateDownloadOk},
    {CycleStep::RestartElevated, RunsWhen::RightsMissing},
    {CycleStep::Copy, RunsWhen::InState, OnError::Stop, UpdateCheckLocalOk},
};

// The check-only worker behind the progress dialog.
constexpr CycleRow kCheckOnlyWorker[] = {{CycleStep::CheckByVersion, RunsWhen::BeforeItsOkState}};
// The checks of the modes that check without a window.
constexpr CycleRow kCheckByVersionAlone[] = {{CycleStep::CheckByVersion, RunsWhen::Always}};
constexpr CycleRow kCheckAlone[] = {{CycleStep::Check, RunsWhen::Always}};

// Set while the dialog worker runs; a second start returns at once.
std::atomic<bool> dialog_worker_running{false};

// What a window tells the user of a failed cycle: what failed, in the
// words the cycle showed it in. "" when nothing failed.
std::wstring FailureMessage(const UpdateContext& context) {
    if (!context.CycleFailed()) return {};
    const std::wstring heading = context.last_step_end == UpdateCheckRemoteError
                                     ? TranslateMain(L"The check for updates failed.")
                                     : TranslateMain(L"The update failed. The application is as it was.");
    return context.failure.empty() ? heading : heading + L"\r\n\r\n" + context.failure;
}

// What the progress dialog runs, and does at its end, through the program.
ProgressDialogActions DialogActions(UpdateContext& context) {
    ProgressDialogActions actions;
    actions.full_cycle_worker = DialogWorker;
    actions.check_only_worker = CheckOnlyWorker;
    actions.any_file_needs_elevation = [&context] { return context.needing_rights.Any(); };
    actions.restart_elevated = [&context] { context.handed_over = RestartElevated(&context.list); };
    actions.start_main_application = [&context] { StartMainApplication(context, false); };
    actions.application_entry_question = [&context] { ApplicationEntryQuestion(context); };
    actions.failure_text = [&context] { return FailureMessage(context); };
    actions.download_sizes = [&context] {
        std::vector<std::uint64_t> sizes;
        for (const updatefileinfo& entry : context.list.entries) {
            const auto size = context.list.file_sizes.find(entry.path);
            if (!CarriesFile(entry))
                sizes.push_back(0);  // nothing to fetch
            else if (size != context.list.file_sizes.end() && size->second > 0)
                sizes.push_back(size->second);
            else
                return std::vector<std::uint64_t>{};  // a file of unknown size
        }
        return sizes;
    };
    return actions;
}

// Between steps of the unattended cycle: holds while the host pauses it;
// false when a host that asked for it has closed its window.
bool WaitForHost(HWND host) {
    if (!host) return true;
    for (;;) {
        // The pause is read before the look for a closed host: a host window
        // that closes between the two shows no pause any more, and must count
        // as gone, not as a host that lets the cycle go on.
        const bool paused = HostIsPaused();
        if (HostAskedToExitAndIsGone()) return false;
        if (!paused) return true;
        ::Sleep(100);
    }
}

// The dialog's cycle is complete when the files are in place, or when there
// was nothing to put in place.
bool CycleCompleted(const UpdateContext& context) {
    const int state = CurrentUpdateState();
    return state == UpdateCopyOk || state == UpdateEnd || (state >= UpdateCheckRemoteOk && !context.FilesPending());
}
}  // namespace

long RunCheckOnlyCycle(UpdateContext& context) {
    if (context.settings.ShowsWhenChecking())
        RunProgressDialog(ProgressDialogMode::CheckOnly, context.host_window, DialogActions(context));
    else
        RunCycle(context, kCheckByVersionAlone, nullptr);
    return context.list.FileCount();
}

void RunCheckWithoutWindow(UpdateContext& context) { RunCycle(context, kCheckAlone, nullptr); }

void RunDialogCycle(UpdateContext& context, HWND owner) {
    context.variables.Set(L"updateskin", context.settings.Read(L"Novamend", L"Skin"));
    context.variables.Set(L"updateskin", L"mostsimple");
    context.variables.Append(L"updatetm", L"8");
    RunProgressDialog(ProgressDialogMode::FullCycle, owner, DialogActions(context));
}

void RunTrayMode(UpdateContext& context) {
    TrayWindowActions actions;
    actions.check = [&context] { RunCheckWithoutWindow(context); };
    actions.update = [&context](bool automatic) {
        // One process runs many cycles: nothing of an earlier one may steer this one.
        context.needing_rights.Clear();
        context.in_background = automatic;
        context.variables.Set(L"updatetm", L"");
        RunDialogCycle(context, nullptr);
    };
    ShowTrayWindow(context.list, std::move(actions));
}

DWORD WINAPI DialogWorker(void* dialog_window) {
    HWND window = static_cast<HWND>(dialog_window);
    if (dialog_worker_running.exchange(true)) return 0;
    UpdateContext& context = theApp().context;
    if (RunCycle(context, kDialogCycle, window) != CycleEnd::Stopped && CycleCompleted(context))
        ::SendMessageW(window, WM_COMMAND, kCommandCycleCompleted, 0);
    ::SendMessageW(window, WM_COMMAND, kCommandWorkerFinished, 0);
    dialog_worker_running = false;
    return 1;
}

DWORD WINAPI CheckOnlyWorker(void* dialog_window) {
    HWND window = static_cast<HWND>(dialog_window);
    com_apartment com;
    RunCycle(theApp().context, kCheckOnlyWorker, window);
    ::SendMessageW(window, WM_COMMAND, kCommandWorkerFinished, 0);
    return 0;
}

bool RunUnattendedCycle(UpdateContext& context) {
    context.variables.Set(L"updatetm", L"1");
    context.in_background = true;
    const HWND host = context.host_window;
    CycleCallbacks callbacks;
    callbacks.after_step = [&context, host](CycleStep step) {
        // A check that found nothing ends the cycle without waiting for anyone.
        if (step == CycleStep::Check && !context.FilesPending()) return false;
        return WaitForHost(host);
    };
    if (RunCycle(context, kUnattendedCycle, nullptr, callbacks) == CycleEnd::Elevated) return true;
    SetUpdateState(UpdateEnd, nullptr);
    StartMainApplication(context, false);
    return true;
}

bool RunApplicationEntryCycle(UpdateContext& context) {
    Settings& settings = context.settings;
    context.variables.Set(L"updatetm", L"2");
    if (settings.MainProgramSetting().empty()) {
        ::MessageBoxW(nullptr, L"At AppEnter mode,You must set Application in novamend.ini file.",
                      settings.ApplicationName().c_str(), MB_OK | MB_ICONWARNING);
        return false;
    }
    if (settings.ShowsWhenChecking()) {
        RunProgressDialog(ProgressDialogMode::ApplicationEntry, context.host_window, DialogActions(context));
        return true;
    }
    RunCycle(context, kCheckByVersionAlone, nullptr);
    return ApplicationEntryQuestion(context);
}

namespace {
constexpr size_t kReleaseNotesInBox = 600, kReleaseNotesLinesInBox = 12;
}  // namespace

bool ApplicationEntryQuestion(UpdateContext& context) {
    DownLoadList& list = context.list;
    Settings& settings = context.settings;
    const long n = FilesOrVersionMarker(list.FileCount(), list.remote_version, settings.InstalledVersion());
    if (CurrentUpdateState() == UpdateCheckRemoteOk && n > 0) {
        std::wstring question = !list.remote_version.empty()
                                    ? TranslateMain(L"found new version at the website,now to upgrade?")
                                    : text::Format(TranslateMain(L"%d updates found at the website,now to upgrade?"),
                                                   {std::to_wstring(list.FileCount())});
        // The release notes, in the list's own words, as much as a box shows well.
        if (const std::wstring notes = text::Excerpt(list.description, kReleaseNotesInBox, kReleaseNotesLinesInBox);
            !notes.empty())
            question += L"\r\n\r\n" + notes;
        int answer = IDYES;
        if (context.run_mode != RunMode::AppEnterNoPrompt)
            answer = ::MessageBoxW(nullptr, question.c_str(), settings.ApplicationName().c_str(),
                                   MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL) {
            SetUpdateState(UpdateEnd, nullptr);
            return true;
        }
        if (answer == IDNO) {
            SetUpdateState(UpdateEnd, nullptr);
            StartMainApplication(context, true);
            return true;
        }
        RunDialogCycle(context, context.host_window);
        SetUpdateState(UpdateEnd, nullptr);
        return true;
    }
    SetUpdateState(UpdateEnd, nullptr);
    StartMainApplication(context, true);
    return true;
}

void StartMainApplication(UpdateContext& context, bool report_missing) {
    Settings& settings = context.settings;
    const std::wstring path = settings.MainProgramPath();
    if (path.empty()) return;
    // Its files may be half new until the next start settles them.
    if (UpdateJournalOpen(settings.ApplicationDirectory())) {
        WriteLog(TranslateMain(L"The application is not started: an interrupted update is not settled yet"));
        return;
    }
    if (!files::Exists(path)) {
        if (report_missing) {
            const std::wstring message =
                TranslateMain(L"Can't find the file that you set Application in novamend.ini file.") + L"\r\n" + path;
            ::MessageBoxW(nullptr, message.c_str(), settings.ApplicationName().c_str(), MB_OK | MB_ICONWARNING);
        }
        return;
    }
    if (!DotNetGateAllowsStart(nullptr, report_missing)) return;
    // A program that does not start says so in its own way (RunFile logs it).
    RunFile(path, settings.ApplicationDirectory(), L"", nullptr, false);
}

}  // namespace nm
