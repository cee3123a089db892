#pragma once
// Starting the test programs that sit beside the test executable.
#include <windows.h>

#include <string>

#include "base/unique_handle.h"

namespace nm {

inline std::wstring TestProgramPath(const std::wstring& file_name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir(self);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + file_name;
}

// Starts "<program> <arguments>"; an empty handle when it could not start.
inline unique_handle StartTestProgram(const std::wstring& program, const std::wstring& arguments) {
    std::wstring command = L"\"" + TestProgramPath(program) + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return {};
    unique_handle thread(info.hThread);
    return unique_handle(info.hProcess);
}

inline DWORD WaitForExit(const unique_handle& process, DWORD timeout_ms = 30000) {
    if (WaitForSingleObject(process.get(), timeout_ms) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.get(), &code);
    return code;
}

}  // namespace nm
