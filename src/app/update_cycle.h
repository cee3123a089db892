#pragma once
// The drivers that run the update cycle's steps for each run mode.
#include <windows.h>

#include <string>

namespace nm {

// checkforupdates: the check alone; the number of files found.
long RunCheckOnlyCycle(HWND owner);
// The check without any window (also the first half of showwhenupdate).
void RunCheckWithoutWindow();
// The full cycle in the minimal progress dialog (default mode).
void RunDialogCycle(HWND owner);
// silence: the whole cycle without a window of its own.
bool RunUnattendedCycle(HWND host);
// appenter, appenternoprompt.
bool RunApplicationEntryCycle(const std::wstring& run_mode);
// Removes the installed files the local copy of the list names.
void RunUninstall();

}  // namespace nm
