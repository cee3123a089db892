#include "app/steps/local_check_step.h"

#include <string>

#include "base/text.h"
#include "install/main_program.h"
#include "install/write_probe.h"
#include "list/entry_targets.h"
#include "services/process_services.h"
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

// True when no target file of the list's entries is locked.
bool CheckLockedFiles(UpdateContext& context, HWND window, bool ask) {
    ShowAndLog(window, TranslateMain(L"Check locked file..."), kStatusStep);
    const std::wstring application_directory = context.settings.ApplicationDirectory();
    const long count = context.list.FileCount();
    long locked = 0;
    std::wstring first_locked;
    for (long i = 0; i < count && !context.needing_rights.Any(); ++i) {
        ::Sleep(1);
        Report(window,
               text::Format(TranslateMain(L"Examining the %d files,total of %d..."),
                            {std::to_wstring(i + 1), std::to_wstring(count)}),
               kStatusProgress);
        const updatefileinfo& entry = context.list.entries[i];
        if (!IsFileEntry(entry) || (entry.flags & kEntryDelete)) continue;
        for (const std::wstring& target : EntryTargets(entry, application_directory)) {
            if (ProbeFileAsk(target, context.needing_rights, ask, MainWindowOf(window))) continue;
            ++locked;
            const std::wstring line = TranslateMain(L"File is locked") + L"[" + target + L"]";
            if (first_locked.empty()) first_locked = line;
            ShowAndLog(window, line, kStatusProblem);
        }
    }
    if (locked > 0) {
        const std::wstring summary = text::Format(TranslateMain(L"%d update files has %d locked"),
                                                  {std::to_wstring(count), std::to_wstring(locked)});
        ShowAndLog(window, summary, kStatusProblem);
        context.failure = summary + L"\r\n" + first_locked;
        return false;
    }
    ShowAndLog(window, TranslateMain(L"No locked files"), kStatusDone);
    return true;
}

// True when the main program is not running (or was closed) and no file is locked.
bool PreCopyCheck(UpdateContext& context, HWND window, bool ask) {
    Settings& settings = context.settings;
    const std::wstring application = settings.MainProgramSetting();
    bool ok = IsMainProgramClosed(window, application);
    const std::wstring application_directory = settings.ApplicationDirectory();
    for (const wchar_t* marker : kMarkerFiles)
        if (!ProbeFileAsk(text::CollapseSeparators(application_directory + L"\\" + marker), context.needing_rights,
                          false))
            ok = false;
    if (!ok) {
        // Without a window nobody can be asked: the unattended cycle closes
        // the program as the minimal skin does.
        bool close = true;
        if (ask && context.variables.Get(L"updateskin") != L"mostsimple") {
            const std::wstring question =
                text::Format(TranslateMain(L"Find main program [%s] not closed, Close it now?") + L"\n%s",
                             {settings.ApplicationName(), settings.MainProgramPath()});
            close = ::MessageBoxW(MainWindowOf(window), question.c_str(), TranslateMain(L"Novamend").c_str(),
                                  MB_YESNO | MB_ICONQUESTION) == IDYES;
            if (!close) context.failure = question;
        }
        if (close) {
            // One that stays running holds its files: the probe below finds them locked.
            CloseProcessesMatching(application);
            ShowAndLog(window, TranslateMain(L"The main program has closed"), kStatusStep);
            ok = true;
        }
    }
    return CheckLockedFiles(context, window, ask) && ok;
}
}  // namespace

void LocalCheckStep(UpdateContext& context, HWND window) {
    if (window && !::IsWindow(window)) window = nullptr;
    const bool ask = window != nullptr;
    const int state = CurrentUpdateState();
    if (state != UpdateDownloadOk && state != UpdateCheckLocal) return;
    SetUpdateState(UpdateCheckLocal, window);

    // Only to learn whether the settings file needs raised rights.
    ProbeFileAsk(context.settings.SettingsFile(), context.needing_rights, false);
    bool result = true;
    if (!context.needing_rights.Any()) result = PreCopyCheck(context, window, ask);
    if (context.needing_rights.Any()) {
        SetUpdateState(UpdateCheckLocalError, window);
        context.failure = TranslateMain(L"request administrator privileges to continue");
        ShowAndLog(window, context.failure, kStatusProblem);
        return;
    }
    SetUpdateState(result ? UpdateCheckLocalOk : UpdateCheckLocalError, window);
}

}  // namespace nm
