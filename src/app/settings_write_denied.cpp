#include "app/settings_write_denied.h"

#include <windows.h>

#include "base/system_error.h"
#include "base/text.h"
#include "base/window_iterator.h"
#include "install/elevation.h"
#include "services/log.h"
#include "services/process_services.h"

namespace nm {

void OfferRestartForDeniedWrite(const std::wstring& settings_file) {
    const std::wstring message =
        text::Format(TranslateMain(L"Can't write to file\n%s\nRequest run as administrator.\nRestart program now?"),
                     {settings_file});
    // The question needs someone to answer it: while the updater shows no
    // window (the unattended modes, a script's check), a box would hold the
    // run for good, so the refusal is written to the log instead.
    CMainWindowIterator own_windows(::GetCurrentProcessId());
    HWND main_window = own_windows.First();
    if (!main_window) {
        WriteLog(text::ReplaceAll(message, L"\n", L" ") + SystemReason(ERROR_ACCESS_DENIED));
        return;
    }
    if (::MessageBoxW(main_window, message.c_str(), TranslateMain(L"Novamend").c_str(), MB_YESNO | MB_ICONQUESTION) !=
        IDYES)
        return;
    if (!RestartElevated(nullptr)) return;
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(main_window, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 100, &ignored);
    ::PostMessageW(main_window, WM_CLOSE, 0, 0);
    ::PostMessageW(main_window, WM_QUIT, 0, 0);
}

}  // namespace nm
