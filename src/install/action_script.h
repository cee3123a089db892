#pragma once
// Action scripts: XML files of commands that a list asks the updater to
// "run". Every element is visited depth first in document order; the ones
// named run, ren or rename, kill, path, del, shortcut and ini are carried out
// when visited, and their children after them.
#include <windows.h>

#include <string>

namespace nm {

// False, having done nothing, when the file cannot be loaded as XML. COM
// must be initialised on the thread.
bool ActionScript(const std::wstring& script_path, HWND window);

}  // namespace nm
