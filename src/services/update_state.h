#pragma once
// The update state 0..13 and the single operation that changes it.
#include <windows.h>

#include <functional>
#include <string>

#include "novamend_host.h"

namespace nm {

enum UpdateState : int {
    UpdateNone = NOVAMEND_STATE_NONE,
    UpdateCheckRemote = NOVAMEND_STATE_CHECK_REMOTE,
    UpdateCheckRemoteError = NOVAMEND_STATE_CHECK_REMOTE_ERROR,
    UpdateCheckRemoteOk = NOVAMEND_STATE_CHECK_REMOTE_OK,
    UpdateDownload = NOVAMEND_STATE_DOWNLOAD,
    UpdateDownloadError = NOVAMEND_STATE_DOWNLOAD_ERROR,
    UpdateDownloadOk = NOVAMEND_STATE_DOWNLOAD_OK,
    UpdateCheckLocal = NOVAMEND_STATE_CHECK_LOCAL,
    UpdateCheckLocalError = NOVAMEND_STATE_CHECK_LOCAL_ERROR,
    UpdateCheckLocalOk = NOVAMEND_STATE_CHECK_LOCAL_OK,
    UpdateCopy = NOVAMEND_STATE_COPY,
    UpdateCopyError = NOVAMEND_STATE_COPY_ERROR,
    UpdateCopyOk = NOVAMEND_STATE_COPY_OK,
    UpdateEnd = NOVAMEND_STATE_END,
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
