// portable: builds without Win32
#pragma once
// The command line: how the process's command line becomes the processed
// line, the run mode, the host window and the .NET switches.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace nm::command_line {

constexpr std::wstring_view kElevationMarker = L"___runas_admin___";

// Lower-cased, double quotes deleted, every occurrence of the executable's
// own path (application directory + "\" + base name + ".exe") deleted, trimmed.
std::wstring Process(std::wstring_view raw, std::wstring_view application_directory,
                     std::wstring_view executable_base_name);
bool HasElevationMarker(std::wstring_view processed);
// The processed line with every "-", "/" and space turned into ",".
std::wstring WorkingCopy(std::wstring_view processed);

// The .NET version named by the first of "dotnet10" ... "dotnet40" (in that
// order) that occurs anywhere but at the very first character; none otherwise.
std::optional<std::wstring> DotNetSwitch(std::wstring_view processed);

// The run mode a command-line word selects, or none when it is no run-mode word.
std::optional<std::wstring> RunModeForWord(std::wstring_view lower_case_word);

struct ModeAndHost {
    std::wstring run_mode;   // lower-cased and trimmed
    std::intptr_t host = 0;  // the window named on the command line, 0 for none
};
// Splits the working copy at "," and lets every word, in order, choose the
// run mode (starting from the Mode setting) or name an existing window.
ModeAndHost ChooseRunModeAndHost(std::wstring_view working_copy, std::wstring_view mode_setting,
                                 const std::function<bool(std::intptr_t)>& is_window);

}  // namespace nm::command_line
