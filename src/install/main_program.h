#pragma once
// The application's running programs: found by their executable's path and
// asked to close (their windows asked to end, then, after a grace period,
// their processes ended).
#include <windows.h>

#include <string>

namespace nm {

// True when no running process's executable path contains the configured
// main program (compared without regard to case); reports which it is.
bool IsMainProgramClosed(HWND window, const std::wstring& application_setting);
// Closes every process whose executable path contains the text (compared
// without regard to case), except the updater itself. True when none of
// them runs any longer.
bool CloseProcessesMatching(const std::wstring& text);
// Asks one top-level window of the process to end; when it agrees, posts it
// the close and quit messages and ends the process after a grace period.
// False when the window refused to end.
bool CloseProcessWindow(HWND window, DWORD process_id);

}  // namespace nm
