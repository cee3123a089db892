#pragma once
// Starting programs, optionally waiting until they end.
#include <windows.h>

#include <string>

#include "list/list_entry_rules.h"

namespace nm {

// Starts a program (path macros expanded) with its parameters, reporting
// "Run file[name][parameters]" to the window and the log. The working
// directory defaults to the program's folder. A program that does not exist
// is skipped silently; one ending in ".xml" is run as an action script.
// True when the program was started (and, when waiting, has ended), or the
// script was read.
bool RunFile(const std::wstring& path, const std::wstring& working_directory, const std::wstring& parameters,
             HWND window, bool wait);

// The same for a command line (program and parameters in one text, as the
// settings give them).
bool RunFile(const std::wstring& command_line, HWND window, bool wait);

// A run element of the list: reported first ("Run[program][parameters]
// [wait]"), then started when the program exists, waited for when its wait
// text says so. True when it was started.
bool RunEntry(const list_entry::RunCommand& command, HWND window);

}  // namespace nm
