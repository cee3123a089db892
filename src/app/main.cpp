// The updater's entry point: the application object does all the work.
#include <windows.h>

#include "app/update_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    nm::CUpdateApp& app = nm::theApp();
    app.InitInstance();
    // There is no main window, so the message loop would end at once.
    const int code = app.ExitInstance();
    // Fetch threads may outlive a spent budget; ending the process here stops
    // them before anything they use is destroyed.
    ::ExitProcess(static_cast<UINT>(code));
}
