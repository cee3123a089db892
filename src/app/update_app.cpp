#include "app/update_app.h"

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "app/command_line.h"
#include "app/dotnet_check.h"
#include "app/exit_code.h"
#include "app/language_choice.h"
#include "app/settings_write_denied.h"
#include "app/uninstall.h"
#include "app/update_cycle.h"
#include "base/executable_path.h"
#include "base/file_ops.h"
#include "base/text.h"
#include "download/offline_package.h"
#include "install/interrupted_update.h"
#include "install/old_files.h"
#include "install/run_file.h"
#include "services/embedded_settings.h"
#include "services/update_state.h"

namespace nm {

namespace {
std::wstring BaseName(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

}  // namespace

CUpdateApp& theApp() {
    static CUpdateApp app;
    return app;
}

CUpdateApp::CUpdateApp() {
    // The services below reach upwards only through what is registered here.
    RegisterUpdateStateHooks({
        [this] { return list.update_state; },
        [this](int code) {
            list.update_state = code;
            if (IsStepEnd(code)) context.last_step_end = code;
        },
        [this] { return list.FileCount(); },
        [](const std::wstring& command_line, HWND window, bool wait) { RunFile(command_line, window, wait); },
    });
    settings.SetDeniedWriteHandler(OfferRestartForDeniedWrite);
}

bool CUpdateApp::InitInstance() {
    // The application directory of this build, with the default settings written into it.
    InstallBrandedApplicationDirectory(settings);
    const std::wstring application_directory = settings.ApplicationDirectory();

    com_started_ = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));

    // Before anything else touches the application: an update that ended in
    // the middle of changing its files is put right, forward or back. An
    // updater that is changing them now holds the lock, and its journal is
    // its own.
    if (SystemLock& install_lock = InstallLockOf(application_directory); install_lock.try_lock()) {
        SettleInterruptedUpdate(application_directory, nullptr);
        install_lock.unlock();
    }

    const std::wstring executable_path = ExecutablePath();
    context.executable_base_name = BaseName(executable_path);

    // An offline update package appended to the executable is unpacked. A
    // restart with raised rights finds its files unpacked already.
    OfflinePackageResult package = OfflinePackageResult::None;
    if (!command_line::HasElevationMarker(text::Lower(::GetCommandLineW())))
        package = ProcessOfflinePackage({executable_path, settings.TemporaryDirectory(), settings.ListWorkDirectory(),
                                         settings.LocalListFile(), application_directory},
                                        list);
    if (package == OfflinePackageResult::Damaged) {
        // Nothing of it was kept; the application stays as it is.
        ::MessageBoxW(nullptr, L"Find some wrong in this update package!", settings.ApplicationName().c_str(),
                      MB_OK | MB_ICONWARNING);
        return false;
    }

    RunEventPrograms(L"UpdateStartup", nullptr);
    context.connection_try_count = settings.ReadInteger(L"Novamend", L"ConnectTryCount", L"3");
    // What an earlier replacement moved aside is deleted now that nothing runs it.
    CleanOldFiles(OldFilesList(application_directory));

    // Control containment: the common controls the dialogs use.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    LoadChosenLanguage(*this);

    const std::wstring processed =
        command_line::Process(::GetCommandLineW(), application_directory, context.executable_base_name);
    variables.Set(L"commandline", processed);
    context.elevation_marker = command_line::HasElevationMarker(processed);
    settings.SetElevated(context.elevation_marker);
    // With raised rights already, nothing needs them any more.
    context.needing_rights.SetCollecting(!context.elevation_marker);
    const std::wstring working_copy = command_line::WorkingCopy(processed);

    // A .NET switch on the command line runs only the download offer.
    if (auto version = command_line::DotNetSwitch(processed)) {
        OfferDotNetDownload(nullptr, *version);
        return false;
    }
    CheckDotNetFromSettings();

    const auto chosen = command_line::ChooseRunModeAndHost(
        working_copy, settings.Read(L"Novamend", L"Mode"),
        [](std::intptr_t handle) { return ::IsWindow(reinterpret_cast<HWND>(handle)) != FALSE; });
    context.host_window = reinterpret_cast<HWND>(chosen.host);
    context.run_mode = RunModeNamed(chosen.run_mode);
    variables.Set(L"runmode", chosen.run_mode);
    if (context.host_window) hosts.Register(context.host_window);

    SetUpdateState(UpdateNone, nullptr);

    // An offline package's files are downloaded already: its cycle goes on
    // at the local check without asking any server, in the dialog cycle
    // unless the unattended one was asked for, since only those two install.
    RunMode effective_mode = context.run_mode;
    if (package == OfflinePackageResult::Loaded && list.FileCount() > 0) {
        SetUpdateState(UpdateDownloadOk, nullptr);
        if (effective_mode != RunMode::Silence && effective_mode != RunMode::Uninstall &&
            effective_mode != RunMode::EmptyTemp)
            effective_mode = RunMode::Default;
    }

    // Resume after a restart with raised rights: the downloads are done.
    if (context.elevation_marker) {
        const std::wstring pending = settings.SavedPendingList();
        if (list.LoadFrom(pending) && list.FileCount() > 0) SetUpdateState(UpdateDownloadOk, nullptr);
        // Read once: a list left behind would be resumed again by a later start.
        files::Delete(pending);
        // The resumed update finishes in the progress window; the tray that
        // asked for the rights stays with the user's own.
        if (effective_mode == RunMode::AppEnter || effective_mode == RunMode::AppEnterNoPrompt ||
            effective_mode == RunMode::TrayIcon)
            effective_mode = RunMode::Default;
    }

    return Dispatch(effective_mode);
}

bool CUpdateApp::Dispatch(RunMode mode) {
    switch (mode) {
    case RunMode::CheckForUpdates: {
        variables.Set(L"updatetm", L"0");
        const long files = RunCheckOnlyCycle(context);
        SetUpdateState(UpdateEnd, nullptr);
        return files > 0 || ExitCode() == kVersionDiffersCode;
    }
    case RunMode::ShowWhenUpdate:
        RunCheckWithoutWindow(context);
        if (list.FileCount() > 0 && CurrentUpdateState() == UpdateCheckRemoteOk) {
            RunDialogCycle(context, context.host_window);
            SetUpdateState(UpdateEnd, nullptr);
        }
        return list.FileCount() > 0;
    case RunMode::TrayIcon:
        RunTrayMode(context);
        return false;
    case RunMode::Silence:
        return RunUnattendedCycle(context);
    case RunMode::AppEnter:
    case RunMode::AppEnterNoPrompt:
        return RunApplicationEntryCycle(context);
    case RunMode::Uninstall:
        RunUninstall(context);
        EmptyTemporaryFiles();
        return false;
    case RunMode::EmptyTemp:
        EmptyTemporaryFiles();
        return false;
    case RunMode::Default:
        break;
    }
    RunDialogCycle(context, context.host_window);
    SetUpdateState(UpdateEnd, nullptr);
    return false;
}

void CUpdateApp::EmptyTemporaryFiles() {
    const std::wstring work = settings.ListWorkDirectory();
    // Each may be there or not: whatever is there goes.
    for (const wchar_t* suffix : {L".xml.xml", L".xml", L".bin", L".ini"}) files::Delete(work + suffix);
    files::RemoveDirectoryTree(work);
}

int CUpdateApp::ExitCode() {
    return nm::ExitCode(context.CycleFailed(), list.FileCount(), list.remote_version, settings.InstalledVersion());
}

int CUpdateApp::ExitInstance() {
    const int code = ExitCode();
    hosts.ReleaseAll();
    if (com_started_) ::CoUninitialize();
    com_started_ = false;
    variables.Clear();
    return code;
}

}  // namespace nm
