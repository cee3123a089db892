#pragma once
// Starting a program through the shell, as every part of the updater does.
#include <windows.h>

#include <string>

namespace nm {

struct ShellStart {
    const wchar_t* verb = nullptr;             // the default verb when none
    std::wstring file, parameters, directory;  // empty parameters and directory are left out
    int show = SW_SHOW;
    bool wait = false;  // until the started process ends
};

// Never shows an error box of the shell's own: a failed start must not hold
// an unattended update. True when the program was started (and, when
// waiting, has ended).
bool StartThroughShell(const ShellStart& start);

}  // namespace nm
