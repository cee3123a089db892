#pragma once
// The update state 0..13 and the single operation that changes it.
#include <windows.h>

#include <string>

namespace nm {

enum UpdateState : int {
    UpdateNone = 0, UpdateCheckRemote, UpdateCheckRemoteError, UpdateCheckRemoteOk,
    UpdateDownload, UpdateDownloadError, UpdateDownloadOk, UpdateCheckLocal,
    UpdateCheckLocalError, UpdateCheckLocalOk, UpdateCopy, UpdateCopyError, UpdateCopyOk, UpdateEnd,
};

// The state's name, "" for a code outside 0..13.
std::wstring UpdateStateName(int code);
// Notifies hosts, stores the code and starts the programs attached to the state.
void SetUpdateState(int code, HWND window);
int CurrentUpdateState();
// Starts the programs [UpdateEvent] (without waiting) and
// [UpdateEventWaitClose] (waiting) name under the key.
void RunEventPrograms(const std::wstring& key, HWND window);

}  // namespace nm
