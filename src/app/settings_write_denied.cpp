#include "app/settings_write_denied.h"

#include <windows.h>


#include "app/update_app.h"
#include "base/text.h"
#include "install/elevation.h"

namespace nm {

void OfferRestartForDeniedWrite(const std::wstring& settings_file) {
    CUpdateApp& app = theApp();
    const std::wstring format =
        app.language.Translate(L"MAIN", L"Can't write to file\n%s\nRequest run as administrator.\nRestart program now?");
    const std::wstring message = text::Format(format, {settings_file});
    HWND main_window = ::GetActiveWindow();
    if (::MessageBoxW(main_window, message.c_str(), app.language.Translate(L"MAIN", L"Novamend").c_str(),
                      MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    if (!RestartElevated(nullptr) || !main_window) return;
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(main_window, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 100, &ignored);
    ::PostMessageW(main_window, WM_CLOSE, 0, 0);
    ::PostMessageW(main_window, WM_QUIT, 0, 0);
}

}  // namespace nm
