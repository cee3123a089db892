// portable: builds without Win32
#pragma once
// The run modes, as the program dispatches on them. The mode's text (what
// the settings or the command line chose) stays in the variable "runmode".
#include <string_view>

namespace nm {

enum class RunMode {
    Default,  // "mostsimple", or any text that names no other mode
    CheckForUpdates,
    ShowWhenUpdate,
    TrayIcon,
    Silence,
    AppEnter,
    AppEnterNoPrompt,
    Uninstall,
    EmptyTemp,
};

// The mode a lower-cased, trimmed run-mode text names.
RunMode RunModeNamed(std::wstring_view text);

}  // namespace nm
