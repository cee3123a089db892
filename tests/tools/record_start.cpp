// A program that only records that it ran, for tests of programs the updater
// starts.
//
//   record_start.exe <record file> [--sleep=<ms>] [arguments...]
//
// Appends one UTF-8 line when it starts:
//   start\t<process id>\t<working directory>\t<arguments after the record file, space-joined>
// and, when --sleep is given, sleeps that long and appends:
//   end\t<process id>
// Every line is appended with a single write, so several copies may share a file.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "base/text.h"
#include "test_files.h"

namespace {

void Append(const std::wstring& record_file, const std::wstring& line) {
    const std::string bytes = nm::text::ToUtf8(line + L"\n");
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (nm::AppendFileBytes(record_file, bytes)) return;
        ::Sleep(20);  // another copy may hold it without sharing
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!arguments || count < 2) return 2;
    const std::wstring record_file = arguments[1];
    DWORD sleep_ms = 0;
    bool sleeps = false;
    std::wstring recorded;
    for (int i = 2; i < count; ++i) {
        const std::wstring argument = arguments[i];
        if (nm::text::StartsWith(argument, L"--sleep=")) {
            sleeps = true;
            sleep_ms = static_cast<DWORD>(nm::text::ToLong(argument.substr(8)));
        }
        recorded += (recorded.empty() ? L"" : L" ") + argument;
    }
    ::LocalFree(arguments);

    wchar_t directory[MAX_PATH + 1] = {};
    ::GetCurrentDirectoryW(MAX_PATH, directory);
    const std::wstring id = std::to_wstring(::GetCurrentProcessId());
    Append(record_file, L"start\t" + id + L"\t" + directory + L"\t" + recorded);
    if (sleeps) {
        ::Sleep(sleep_ms);
        Append(record_file, L"end\t" + id);
    }
    return 0;
}
