#pragma once
// Clock, processor time and peak memory of the running process, for the
// benchmark programs.
#include <windows.h>
#include <psapi.h>

namespace bench {

// Milliseconds of a steady clock.
inline double Now() {
    LARGE_INTEGER frequency, counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Milliseconds of processor time of this process: steadier than the clock on
// a shared machine.
inline double CpuNow() {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](FILETIME t) { return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e4; };
    return ms(kernel) + ms(user);
}

inline unsigned long long PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory);
    return memory.PeakWorkingSetSize;
}

}  // namespace bench
