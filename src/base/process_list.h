#pragma once
// The running processes and their executables.
#include <windows.h>

#include <string>
#include <vector>

namespace nm {

struct RunningProcess {
    DWORD id = 0;
    std::wstring executable;  // full path; empty when the process could not be read
};

// The ids of all processes, always the complete list, in the platform's order.
std::vector<DWORD> AllProcessIds();
// All module handles of a process opened with query-information and
// read-memory rights; the first is its executable.
std::vector<HMODULE> ProcessModules(HANDLE process);
// The full path of a process's executable, empty when it cannot be read.
std::wstring ProcessExecutable(DWORD process_id);
// Every process but the idle process.
constexpr DWORD kIdleProcessId = 0;
std::vector<RunningProcess> RunningProcesses();

}  // namespace nm
