// Writes lines through the real log, for tests of several processes logging
// into one file: log_writer DIRECTORY LOGNAME TAG COUNT [START_EVENT]
// With a start event name it reports itself ready and waits for that event,
// so that several writers begin together.
#include <windows.h>

#include <shellapi.h>

#include <string>

#include "app/update_app.h"
#include "base/unique_handle.h"
#include "services/log.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!arguments || (count != 5 && count != 6)) return 2;
    if (count == 6) {
        // Tell the starter we are here (semaphore START_EVENT-ready), then wait.
        const std::wstring start_name = arguments[5];
        nm::unique_handle ready(::OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, (start_name + L"-ready").c_str()));
        nm::unique_handle start(::OpenEventW(SYNCHRONIZE, FALSE, start_name.c_str()));
        if (!ready || !start || !::ReleaseSemaphore(ready.get(), 1, nullptr)) return 3;
        if (::WaitForSingleObject(start.get(), 30000) != WAIT_OBJECT_0) return 3;
    }
    nm::CUpdateApp& app = nm::theApp();
    app.settings.SetApplicationDirectory(arguments[1]);
    app.settings.Write(L"Novamend", L"Log", arguments[2]);
    const std::wstring tag = arguments[3];
    const long lines = std::wcstol(arguments[4], nullptr, 10);
    // Long lines make a torn write likely to show if the lock failed.
    const std::wstring padding(400, tag.empty() ? L'x' : tag[0]);
    for (long i = 0; i < lines; ++i) nm::WriteLog(tag + L" " + std::to_wstring(i) + L" " + padding);
    ::LocalFree(arguments);
    return 0;
}
