#pragma once
// The minimal progress dialog as the cycle drivers see it.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace nm {

enum class ProgressDialogMode { FullCycle = 0, CheckOnly = 1, ApplicationEntry = 2 };

// What the dialog runs and decides through the program that shows it.
struct ProgressDialogActions {
    // Thread bodies; the parameter is the dialog's window, and each ends by
    // sending it the command that says the worker finished.
    LPTHREAD_START_ROUTINE full_cycle_worker = nullptr;
    LPTHREAD_START_ROUTINE check_only_worker = nullptr;
    // Whether files still need raised rights (the program first empties the
    // list when it already runs with them), and the restart that gets them,
    // the pending update saved for the new process.
    std::function<bool()> any_file_needs_elevation;
    std::function<void()> restart_elevated;
    // Starts the main application, silent when it is missing.
    std::function<void()> start_main_application;
    std::function<void()> application_entry_question;
    // What the user is told when the cycle failed; "" when it did not.
    std::function<std::wstring()> failure_text;
    // The list's size of each file the download fetches, in the order of its
    // rows (0 where the list gives none); asked when the download begins.
    std::function<std::vector<std::uint64_t>()> download_sizes;
};

// Runs the dialog modally; false when it could not be shown.
bool RunProgressDialog(ProgressDialogMode mode, HWND owner, const ProgressDialogActions& actions);

}  // namespace nm
