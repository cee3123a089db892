#include "base/process_list.h"

#include <psapi.h>

#include "base/unique_handle.h"

namespace nm {

namespace {
constexpr std::size_t kInitialRoom = 1024;
constexpr std::size_t kLongestPath = 32768;
}  // namespace

std::vector<DWORD> AllProcessIds() {
    // The platform gives no count: the list is complete only when it did
    // not fill the room it was given.
    std::vector<DWORD> ids(kInitialRoom);
    for (;;) {
        DWORD bytes = 0;
        const DWORD room = static_cast<DWORD>(ids.size() * sizeof(DWORD));
        if (!::EnumProcesses(ids.data(), room, &bytes)) return {};
        if (bytes < room) {
            ids.resize(bytes / sizeof(DWORD));
            return ids;
        }
        ids.resize(ids.size() * 2);
    }
}

std::vector<HMODULE> ProcessModules(HANDLE process) {
    std::vector<HMODULE> modules(kInitialRoom);
    for (;;) {
        DWORD needed = 0;
        const DWORD room = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
        if (!::EnumProcessModules(process, modules.data(), room, &needed)) return {};
        if (needed <= room) {
            modules.resize(needed / sizeof(HMODULE));
            return modules;
        }
        // Modules may load meanwhile: ask again with what was needed, and more.
        modules.resize(needed / sizeof(HMODULE) + kInitialRoom);
    }
}

std::wstring ProcessExecutable(DWORD process_id) {
    unique_handle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process_id));
    if (!process) return {};
    const std::vector<HMODULE> modules = ProcessModules(process.get());
    if (modules.empty()) return {};
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameExW(process.get(), modules.front(), path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size() - 1 || path.size() >= kLongestPath) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);  // possibly cut: try with more room
    }
}

std::vector<RunningProcess> RunningProcesses() {
    // The idle process (id 0, first in the list on Windows) is never a main
    // program. Whatever else comes first is examined: under Wine the first
    // entry is simply the first program started, which may be the main one.
    std::vector<RunningProcess> processes;
    for (DWORD id : AllProcessIds())
        if (id != kIdleProcessId) processes.push_back({id, ProcessExecutable(id)});
    return processes;
}

}  // namespace nm
