// Writes lines through the real log, for tests of several processes logging
// into one file: log_writer DIRECTORY LOGNAME TAG COUNT
#include <windows.h>

#include <shellapi.h>

#include <string>

#include "app/log.h"
#include "app/update_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!arguments || count != 5) return 2;
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
