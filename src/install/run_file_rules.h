// portable: builds without Win32
#pragma once
// How a program to run is told apart from its parameters, and the texts
// around running it.
#include <functional>
#include <string>
#include <string_view>

namespace nm::run_file_rules {

struct ProgramAndParameters {
    std::wstring program;
    std::wstring parameters;
};

// Splits a command line. A quoted program ends at its closing quote. An
// unquoted one may contain spaces: the longest space-separated prefix that
// names an existing file is the program (never a shorter one, so
// "C:\Program Files\x.exe" is not taken for "C:\Program"); when none exists,
// the program ends at the first space.
ProgramAndParameters SplitCommandLine(std::wstring_view command_line,
                                      const std::function<bool(const std::wstring&)>& file_exists);

// The text before the last backslash ("" when there is none).
std::wstring FolderOf(std::wstring_view path);
// The text after the last backslash.
std::wstring FileNameOf(std::wstring_view path);
// Action scripts are run by the updater itself, whatever the letter case.
bool IsActionScript(std::wstring_view path);
// The report: translated "Run file", then "[name]", then "[parameters]" when given.
std::wstring RunReport(std::wstring_view run_file_text, std::wstring_view path, std::wstring_view parameters);

// A run entry of the list waits when its wait text, lower-cased, with every
// "y", "t" and "o" turned into "1", holds a "1" (so yes, true, on, 1, and
// also no and off, wait).
bool RunEntryWaits(std::wstring_view wait_text);
// A script's run element waits when "waitclose", lower-cased, holds "1", "y" or "t".
bool ScriptRunWaits(std::wstring_view waitclose);
// The report of a run entry: translated "Run", then "[program][parameters]
// [wait or nowait]" with empty brackets left out.
std::wstring RunEntryReport(std::wstring_view run_text, std::wstring_view program, std::wstring_view parameters,
                            bool waits);

}  // namespace nm::run_file_rules
