// run_and_report: runs a program, waits for it and writes its whole 32-bit
// exit code to a file (a Unix exit status keeps only the low 8 bits).
//   run_and_report.exe <record file> <program> [arguments...]
#include <windows.h>

#include <fstream>
#include <string>

#include "base/unique_handle.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 3) return 2;
    std::wstring command;
    for (int i = 2; i < argc; ++i) command += (i > 2 ? L" \"" : L"\"") + std::wstring(argv[i]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return 3;
    nm::unique_handle process(info.hProcess), thread(info.hThread);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    std::ofstream(argv[1]) << code;
    return 0;
}
