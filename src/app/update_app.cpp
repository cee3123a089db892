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
#include "install/elevation.h"
#include "download/offline_package.h"
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
        [this](int code) { list.update_state = code; },
        [this] { return list.FileCount(); },
        [](const std::wstring& command_line, HWND window, bool wait) { RunFile(command_line, window, wait); },
    });
    settings.SetDeniedWriteHandler(OfferRestartForDeniedWrite);
}

bool CUpdateApp::InitInstance() {
    // 1-2. The application directory of this build, with the default settings written into it.
    InstallBrandedApplicationDirectory(settings);
    const std::wstring application_directory = settings.ApplicationDirectory();

    // 3. COM for the interface thread.
    com_started_ = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));

    // 4.
    const std::wstring executable_path = ExecutablePath();
    executable_base_name = BaseName(executable_path);

    // 5. An offline update package appended to the executable is unpacked. A
    // restart with raised rights finds its files unpacked already.
    OfflinePackageResult package = OfflinePackageResult::None;
    if (!command_line::HasElevationMarker(text::Lower(::GetCommandLineW())))
        package = ProcessOfflinePackage({executable_path, settings.TemporaryDirectory(), settings.ListWorkDirectory(),
                                         settings.LocalListFile(), application_directory},
                                        list);
    if (package == OfflinePackageResult::Damaged) {
        // Nothing of it was kept; the application stays as it is.
        ::MessageBoxW(nullptr, L"Find some wrong in this update package!",
                      settings.Read(L"APPLICATION", L"Name").c_str(), MB_OK | MB_ICONWARNING);
        return false;
    }

    // 6.
    RunEventPrograms(L"UpdateStartup", nullptr);

    // 7.
    connection_try_count = settings.ReadInteger(L"Novamend", L"ConnectTryCount", L"3");

    // 8.
    CleanOldFiles(OldFilesList(application_directory));

    // 9. Control containment: the common controls the dialogs use.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    // 10.
    LoadChosenLanguage(*this);

    // 11.
    const std::wstring processed =
        command_line::Process(::GetCommandLineW(), application_directory, executable_base_name);
    variables.Set(L"commandline", processed);
    elevation_marker = command_line::HasElevationMarker(processed);
    settings.SetElevated(elevation_marker);
    SetElevationMarker(elevation_marker);
    const std::wstring working_copy = command_line::WorkingCopy(processed);

    // 12-13.
    if (auto version = command_line::DotNetSwitch(processed)) {
        OfferDotNetDownload(nullptr, *version);
        return false;
    }
    CheckDotNetFromSettings();

    // 14.
    const auto chosen = command_line::ChooseRunModeAndHost(
        working_copy, settings.Read(L"Novamend", L"Mode"),
        [](std::intptr_t handle) { return ::IsWindow(reinterpret_cast<HWND>(handle)) != FALSE; });
    host_window = reinterpret_cast<HWND>(chosen.host);
    run_mode = chosen.run_mode;
    variables.Set(L"runmode", run_mode);

    // 15.
    if (host_window) hosts.Register(host_window);

    // 16.
    SetUpdateState(UpdateNone, nullptr);

    // An offline package's files are downloaded already: its cycle goes on
    // at the local check without asking any server, in the dialog cycle
    // unless the unattended one was asked for, since only those two install.
    std::wstring effective_mode = run_mode;
    if (package == OfflinePackageResult::Loaded && list.FileCount() > 0) {
        SetUpdateState(UpdateDownloadOk, nullptr);
        if (effective_mode != L"silence" && effective_mode != L"uninstall" && effective_mode != L"emptytemp")
            effective_mode = L"mostsimple";
    }

    // 17. Resume after a restart with raised rights: the downloads are done.
    if (elevation_marker) {
        const std::wstring pending = settings.SavedPendingList();
        if (list.LoadFrom(pending) && list.FileCount() > 0) SetUpdateState(UpdateDownloadOk, nullptr);
        ::DeleteFileW(pending.c_str());
        // The resumed update finishes in the progress window; the tray that
        // asked for the rights stays with the user's own.
        if (effective_mode == L"appenter" || effective_mode == L"appenternoprompt" || effective_mode == L"tryicon")
            effective_mode = L"mostsimple";
    }

    // 18.
    return Dispatch(effective_mode);
}

bool CUpdateApp::Dispatch(const std::wstring& mode) {
    if (mode == L"checkforupdates") {
        variables.Set(L"updatetm", L"0");
        const long files = RunCheckOnlyCycle(host_window);
        SetUpdateState(UpdateEnd, nullptr);
        return files > 0 || ExitCode() == kVersionDiffersCode;
    }
    if (mode == L"showwhenupdate") {
        RunCheckWithoutWindow();
        if (list.FileCount() > 0 && CurrentUpdateState() == UpdateCheckRemoteOk) {
            RunDialogCycle(host_window);
            SetUpdateState(UpdateEnd, nullptr);
        }
        return list.FileCount() > 0;
    }
    if (mode == L"tryicon") {
        RunTrayMode();
        return false;
    }
    if (mode == L"silence") return RunUnattendedCycle(host_window);
    if (mode == L"appenter" || mode == L"appenternoprompt") return RunApplicationEntryCycle(mode);
    if (mode == L"uninstall") {
        RunUninstall();
        EmptyTemporaryFiles();
        return false;
    }
    if (mode == L"emptytemp") {
        EmptyTemporaryFiles();
        return false;
    }
    RunDialogCycle(host_window);
    SetUpdateState(UpdateEnd, nullptr);
    return false;
}

void CUpdateApp::EmptyTemporaryFiles() {
    const std::wstring work = settings.ListWorkDirectory();
    for (const wchar_t* suffix : {L".xml.xml", L".xml", L".bin", L".ini"})
        ::DeleteFileW((work + suffix).c_str());
    files::RemoveDirectoryTree(work);
}

int CUpdateApp::ExitCode() {
    return nm::ExitCode(list.FileCount(), list.remote_version, settings.Read(L"APPLICATION", L"Ver"));
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
