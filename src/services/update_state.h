#pragma once
// The update state 0..13 and the single operation that changes it.
#include <windows.h>

#include <functional>
#include <string>

namespace nm {

enum UpdateState : int {
    UpdateNone = 0, UpdateCheckRemote, UpdateCheckRemoteError, UpdateCheckRemoteOk,
    UpdateDownload, UpdateDownloadError, UpdateDownloadOk, UpdateCheckLocal,
    UpdateCheckLocalError, UpdateCheckLocalOk, UpdateCopy, UpdateCopyError, UpdateCopyOk, UpdateEnd,
};

// What the state needs from the program above it, registered at start-up:
// where the state is kept (the update list object carries it), how many
// files the list holds, and how a program named in the settings is started.
struct UpdateStateHooks {
    std::function<int()> load_state;
    std::function<void(int)> store_state;
    std::function<long()> file_count;
    std::function<void(const std::wstring& command_line, HWND window, bool wait)> run_program;
};
void RegisterUpdateStateHooks(UpdateStateHooks hooks);

// The state's name, "" for a code outside 0..13.
std::wstring UpdateStateName(int code);
// Notifies hosts, stores the code and starts the programs attached to the state.
void SetUpdateState(int code, HWND window);
int CurrentUpdateState();
// Starts the programs [UpdateEvent] (without waiting) and
// [UpdateEventWaitClose] (waiting) name under the key.
void RunEventPrograms(const std::wstring& key, HWND window);

}  // namespace nm
