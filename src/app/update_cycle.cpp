#include "app/update_cycle.h"

#include <windows.h>

#include <atomic>
#include <utility>

#include "app/dotnet_check.h"
#include "app/exit_code.h"
#include "app/list_address.h"
#include "app/steps/check_step.h"
#include "app/steps/download_step.h"
#include "app/steps/local_check_step.h"
#include "app/steps/replacement_step.h"
#include "app/update_app.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "install/elevation.h"
#include "install/run_file.h"
#include "services/host_windows.h"
#include "services/log.h"
#include "services/status_report.h"
#include "services/update_state.h"
#include "ui/progress_dialog.h"
#include "ui/tray_window.h"

namespace nm {

namespace {
// Set while the dialog worker runs; a second start returns at once.
std::atomic<bool> dialog_worker_running{false};

// A download step that ended with errors is repeated for the failed files,
// up to four more times, as long as it finishes at least one file.
void DownloadWithRetries(HWND window) {
    DownloadStep(window);
    for (int retry = 0; retry < 4 && CurrentUpdateState() == UpdateDownloadError && DownloadStepFinishedCount() > 0;
         ++retry)
        DownloadStep(window);
}

bool FilesPending() { return theApp().list.FileCount() > 0; }

// What the progress dialog runs, and does at its end, through the program.
ProgressDialogActions DialogActions() {
    ProgressDialogActions actions;
    actions.full_cycle_worker = DialogWorker;
    actions.check_only_worker = CheckOnlyWorker;
    actions.any_file_needs_elevation = [] {
        if (theApp().elevation_marker) ClearFilesNeedingElevation();
        return AnyFileNeedsElevation();
    };
    actions.restart_elevated = [] { RestartElevated(&theApp().list); };
    actions.start_main_application = [] { StartMainApplication(false); };
    actions.application_entry_question = [] { ApplicationEntryQuestion(); };
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

}  // namespace

long RunCheckOnlyCycle(HWND owner) {
    if (theApp().settings.ReadSwitch(L"Novamend", L"ShowWhenCheck", L"1"))
        RunProgressDialog(ProgressDialogMode::CheckOnly, owner, DialogActions());
    else
        CheckByVersion(nullptr);
    return theApp().list.FileCount();
}

void RunCheckWithoutWindow() { CheckWrapper(nullptr, nullptr); }

void RunDialogCycle(HWND owner) {
    CUpdateApp& app = theApp();
    app.variables.Set(L"updateskin", app.settings.Read(L"Novamend", L"Skin"));
    app.variables.Set(L"updateskin", L"mostsimple");
    app.variables.Append(L"updatetm", L"8");
    RunProgressDialog(ProgressDialogMode::FullCycle, owner, DialogActions());
}

void RunTrayMode() {
    TrayWindowActions actions;
    actions.check = RunCheckWithoutWindow;
    actions.update = [] {
        // One process runs many cycles: nothing of an earlier one may steer this one.
        ClearFilesNeedingElevation();
        theApp().variables.Set(L"updatetm", L"");
        RunDialogCycle(nullptr);
    };
    ShowTrayWindow(theApp().list, std::move(actions));
}

DWORD WINAPI DialogWorker(void* dialog_window) {
    HWND window = static_cast<HWND>(dialog_window);
    if (dialog_worker_running.exchange(true)) return 0;
    [&] {
        if (CurrentUpdateState() < UpdateCheckRemoteOk) {
            CheckWrapper(window, nullptr);
            if (CurrentUpdateState() != UpdateCheckRemoteOk) return;
        }
        if (CurrentUpdateState() == UpdateCheckRemoteOk && CheckNeedsAnotherPass()) {
            CheckWrapper(window, nullptr);
            if (CurrentUpdateState() != UpdateCheckRemoteOk) return;
        }
        if (CurrentUpdateState() < UpdateDownloadOk && FilesPending()) {
            DownloadWithRetries(window);
            if (CurrentUpdateState() != UpdateDownloadOk) return;
        }
        if (CurrentUpdateState() < UpdateCheckLocalOk && FilesPending()) {
            LocalCheckStep(window);
            if (CurrentUpdateState() != UpdateCheckLocalOk) return;
        }
        if (CurrentUpdateState() < UpdateCopyOk && FilesPending()) ReplacementStep(window);
        const int state = CurrentUpdateState();
        // With nothing to copy the cycle is complete as well.
        if (state == UpdateCopyOk || state == UpdateEnd || (state >= UpdateCheckRemoteOk && !FilesPending()))
            ::SendMessageW(window, WM_COMMAND, kCommandCycleCompleted, 0);
    }();
    ::SendMessageW(window, WM_COMMAND, kCommandWorkerFinished, 0);
    dialog_worker_running = false;
    return 1;
}

DWORD WINAPI CheckOnlyWorker(void* dialog_window) {
    HWND window = static_cast<HWND>(dialog_window);
    com_apartment com;
    if (CurrentUpdateState() < UpdateCheckRemoteOk) CheckByVersion(window);
    ::SendMessageW(window, WM_COMMAND, kCommandWorkerFinished, 0);
    return 0;
}

bool RunUnattendedCycle(HWND host) {
    CUpdateApp& app = theApp();
    app.variables.Set(L"updatetm", L"1");
    bool restarted_elevated = false;
    [&] {
        if (CurrentUpdateState() < UpdateCheckRemoteOk) {
            CheckWrapper(nullptr, nullptr);
            if (!FilesPending()) return;
            if (!WaitForHost(host)) return;
        }
        if (CurrentUpdateState() == UpdateCheckRemoteOk) {
            DownloadWithRetries(nullptr);
            if (!WaitForHost(host)) return;
        }
        if (CurrentUpdateState() == UpdateDownloadOk) {
            LocalCheckStep(nullptr);
            if (!WaitForHost(host)) return;
        }
        if (app.elevation_marker) ClearFilesNeedingElevation();
        if (AnyFileNeedsElevation()) {
            ShowAndLog(nullptr, TranslateMain(L"continue update as administrator"), kStatusProgress);
            // The cycle ends here whether or not the elevated copy started: a
            // declined or failed start leaves the update for a later run.
            RestartElevated(&app.list);
            restarted_elevated = true;
            return;
        }
        if (CurrentUpdateState() == UpdateCheckLocalOk) {
            ReplacementStep(nullptr);
            WaitForHost(host);
        }
    }();
    if (restarted_elevated) return true;
    SetUpdateState(UpdateEnd, nullptr);
    StartMainApplication(false);
    return true;
}

bool RunApplicationEntryCycle(const std::wstring&) {
    CUpdateApp& app = theApp();
    app.variables.Set(L"updatetm", L"2");
    const std::wstring application = app.settings.Read(L"APPLICATION", L"Application");
    if (application.empty()) {
        ::MessageBoxW(nullptr, L"At AppEnter mode,You must set Application in novamend.ini file.",
                      app.settings.Read(L"APPLICATION", L"Name").c_str(), MB_OK | MB_ICONWARNING);
        return false;
    }
    if (app.settings.ReadSwitch(L"Novamend", L"ShowWhenCheck", L"1")) {
        RunProgressDialog(ProgressDialogMode::ApplicationEntry, app.host_window, DialogActions());
        return true;
    }
    CheckByVersion(nullptr);
    return ApplicationEntryQuestion();
}

bool ApplicationEntryQuestion() {
    CUpdateApp& app = theApp();
    const long n = FilesOrVersionMarker(app.list.FileCount(), app.list.remote_version,
                                        app.settings.Read(L"APPLICATION", L"Ver"));
    if (CurrentUpdateState() == UpdateCheckRemoteOk && n > 0) {
        const std::wstring question =
            !app.list.remote_version.empty()
                ? app.language.Translate(L"MAIN", L"found new version at the website,now to upgrade?")
                : text::Format(app.language.Translate(L"MAIN", L"%d updates found at the website,now to upgrade?"),
                               {std::to_wstring(app.list.FileCount())});
        int answer = IDYES;
        if (app.variables.Get(L"runmode") != L"appenternoprompt")
            answer = ::MessageBoxW(nullptr, question.c_str(), app.settings.Read(L"APPLICATION", L"Name").c_str(),
                                   MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL) {
            SetUpdateState(UpdateEnd, nullptr);
            return true;
        }
        if (answer == IDNO) {
            SetUpdateState(UpdateEnd, nullptr);
            StartMainApplication(true);
            return true;
        }
        RunDialogCycle(app.host_window);
        SetUpdateState(UpdateEnd, nullptr);
        return true;
    }
    SetUpdateState(UpdateEnd, nullptr);
    StartMainApplication(true);
    return true;
}

void StartMainApplication(bool report_missing) {
    CUpdateApp& app = theApp();
    const std::wstring name = app.settings.Read(L"APPLICATION", L"Name");
    const std::wstring path = app.settings.MainProgramPath();
    if (path.empty()) return;
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (report_missing) {
            const std::wstring message =
                app.language.Translate(L"MAIN", L"Can't find the file that you set Application in novamend.ini file.") +
                L"\r\n" + path;
            ::MessageBoxW(nullptr, message.c_str(), name.c_str(), MB_OK | MB_ICONWARNING);
        }
        return;
    }
    if (!DotNetGateAllowsStart(nullptr, report_missing)) return;
    RunFile(path, app.settings.ApplicationDirectory(), L"", nullptr, false);
}

}  // namespace nm
