// The updater's entry point: the application object does all the work.
#include <windows.h>

#include "app/update_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    nm::CUpdateApp& app = nm::theApp();
    app.InitInstance();
    // There is no main window, so the message loop would end at once.
    return app.ExitInstance();
}
