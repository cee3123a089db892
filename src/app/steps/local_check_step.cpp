#include "app/steps/local_check_step.h"

#include <string>

#include "app/update_app.h"
#include "base/text.h"
#include "install/elevation.h"
#include "install/main_program.h"
#include "install/write_probe.h"
#include "list/entry_targets.h"
#include "services/status_report.h"
#include "services/update_state.h"
#include "services/window_messages.h"

namespace nm {

namespace {
// Bookkeeping files the replacement writes in the application directory.
constexpr const wchar_t* kMarkerFiles[] = {
    L"novamend.xml",
    L"{2767A2C0-0767-4958-ADA9-E813DF1BC478}.xml",
    L"{2767A2C0-0767-4958-ADA9-E813DF1BC489}.xml",
};

HWND MainWindowOf(HWND window) { return window ? ::GetAncestor(window, GA_ROOT) : nullptr; }

void Report(HWND window, const std::wstring& text, LPARAM code) { ShowStatusText(window, text, code); }
}  // namespace

bool CheckLockedFiles(HWND window, bool ask) {
    CUpdateApp& app = theApp();
    if (ElevationMarkerPresent()) ClearFilesNeedingElevation();
    ShowAndLog(window, TranslateMain(L"Check locked file..."), kStatusStep);
    const std::wstring application_directory = app.settings.ApplicationDirectory();
    const long count = app.list.FileCount();
    long locked = 0;
    for (long i = 0; i < count && !AnyFileNeedsElevation(); ++i) {
        ::Sleep(1);
        Report(window,
               text::Format(TranslateMain(L"Examining the %d files,total of %d..."),
                            {std::to_wstring(i + 1), std::to_wstring(count)}),
               kStatusProgress);
        const updatefileinfo& entry = app.list.entries[i];
        if (!IsFileEntry(entry) || (entry.flags & kEntryDelete)) continue;
        for (const std::wstring& target : EntryTargets(entry, application_directory)) {
            if (ProbeFileAsk(target, ask, MainWindowOf(window))) continue;
            ++locked;
            ShowAndLog(window, TranslateMain(L"File is locked") + L"[" + target + L"]", kStatusProblem);
        }
    }
    if (locked > 0) {
        ShowAndLog(window,
                   text::Format(TranslateMain(L"%d update files has %d locked"),
                                {std::to_wstring(count), std::to_wstring(locked)}),
                   kStatusProblem);
        return false;
    }
    ShowAndLog(window, TranslateMain(L"No locked files"), kStatusDone);
    return true;
}

bool PreCopyCheck(HWND window, bool ask) {
    CUpdateApp& app = theApp();
    const std::wstring application = app.settings.Read(L"APPLICATION", L"Application");
    bool ok = IsMainProgramClosed(window, application);
    const std::wstring application_directory = app.settings.ApplicationDirectory();
    for (const wchar_t* marker : kMarkerFiles)
        if (!ProbeFileAsk(text::CollapseSeparators(application_directory + L"\\" + marker), false)) ok = false;
    if (!ok) {
        // Without a window nobody can be asked: the unattended cycle closes
        // the program as the minimal skin does.
        bool close = true;
        if (ask && app.variables.Get(L"updateskin") != L"mostsimple") {
            const std::wstring question =
                text::Format(TranslateMain(L"Find main program [%s] not closed, Close it now?") + L"\n%s",
                             {app.settings.Read(L"APPLICATION", L"Name"), app.settings.MainProgramPath()});
            close = ::MessageBoxW(MainWindowOf(window), question.c_str(), TranslateMain(L"Novamend").c_str(),
                                  MB_YESNO | MB_ICONQUESTION) == IDYES;
        }
        if (close) {
            CloseProcessesMatching(application);
            ShowAndLog(window, TranslateMain(L"The main program has closed"), kStatusStep);
            ok = true;
        }
    }
    return CheckLockedFiles(window, ask) && ok;
}

void LocalCheckStep(HWND window) {
    CUpdateApp& app = theApp();
    if (window && !::IsWindow(window)) window = nullptr;
    const bool ask = window != nullptr;
    const int state = CurrentUpdateState();
    if (state != UpdateDownloadOk && state != UpdateCheckLocal) return;
    SetUpdateState(UpdateCheckLocal, window);

    // Only to learn whether the settings file needs raised rights.
    ProbeFileAsk(app.settings.SettingsFile(), false);
    if (ElevationMarkerPresent()) ClearFilesNeedingElevation();
    bool result = true;
    if (!AnyFileNeedsElevation()) result = PreCopyCheck(window, ask);
    if (ElevationMarkerPresent()) ClearFilesNeedingElevation();
    if (AnyFileNeedsElevation()) {
        SetUpdateState(UpdateCheckLocalError, window);
        ShowAndLog(window, TranslateMain(L"request administrator privileges to continue"), kStatusProblem);
        return;
    }
    SetUpdateState(result ? UpdateCheckLocalOk : UpdateCheckLocalError, window);
}

}  // namespace nm
