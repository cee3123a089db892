// Notes when the updater reached one of its states, for benchmarks that time
// a step by the updater's own events ([UpdateEventWaitClose] in
// novamend.ini names this program for a state):
//
//   event_stamp.exe <record file> <label>
//
// Appends one line: <label>\t<created>\t<now>, milliseconds of the system's
// precise clock, <created> when the updater created this process and <now>
// when it ran. The updater waits for the program, so the step after the
// state begins after <now>, and the step before it had ended at <created>:
// the start of a Windows process (tens of milliseconds under Wine) falls
// outside the span between two stamps.
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/text.h"
#include "base/unique_handle.h"

namespace {

double Milliseconds(FILETIME time) {
    return (static_cast<double>(time.dwHighDateTime) * 4294967296.0 + time.dwLowDateTime) / 1e4;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    FILETIME now;
    ::GetSystemTimePreciseAsFileTime(&now);
    if (argc != 3) {
        std::fputs("usage: event_stamp.exe <record file> <label>\n", stderr);
        return 2;
    }
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 1;
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "\t%.3f\t%.3f\n", Milliseconds(created), Milliseconds(now));
    const std::string line = nm::text::ToUtf8(argv[2]) + numbers;
    // One write of the whole line, so stamps of one run never interleave.
    nm::unique_hfile record(::CreateFileW(argv[1], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return record && ::WriteFile(record.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
                   written == line.size()
               ? 0
               : 1;
}
