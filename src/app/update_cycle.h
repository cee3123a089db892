#pragma once
// The drivers that run the update cycle's steps for each run mode.
#include <windows.h>

#include "app/update_context.h"

namespace nm {

// checkforupdates: the check alone; the number of files found.
long RunCheckOnlyCycle(UpdateContext& context);
// The check without any window (the first half of showwhenupdate).
void RunCheckWithoutWindow(UpdateContext& context);
// The full cycle in the minimal progress dialog (default mode).
void RunDialogCycle(UpdateContext& context, HWND owner);
// tryicon: the tray window with its periodic checks and its updates in the
// progress dialog, until the user or the settings end it.
void RunTrayMode(UpdateContext& context);
// silence: the whole cycle without a window of its own.
bool RunUnattendedCycle(UpdateContext& context);
// appenter, appenternoprompt.
bool RunApplicationEntryCycle(UpdateContext& context);
// After a check: asks whether to update (or updates at once without prompt).
bool ApplicationEntryQuestion(UpdateContext& context);

// Thread bodies started by the progress dialog; the parameter is its window.
DWORD WINAPI DialogWorker(void* dialog_window);
DWORD WINAPI CheckOnlyWorker(void* dialog_window);

// Starts the main program; with report_missing, a missing file is shown.
void StartMainApplication(UpdateContext& context, bool report_missing);

}  // namespace nm
