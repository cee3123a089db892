#pragma once
// Shortcuts to installed files, through the shell's link object.
#include <windows.h>

#include <string>
#include <vector>

namespace nm {

// A shortcut at location (".lnk" appended when its name lacks it, folders
// created) to target, with its working directory and, when the icon file
// exists, that icon. False when the target is missing or the link could not
// be saved. COM must be initialised on the thread.
bool CreateShortcut(const std::wstring& target, const std::wstring& working_directory, const std::wstring& location,
                    const std::wstring& icon, int icon_index);
// One shortcut per location to target (working directory: the target's
// folder), each reported before it is made.
void CreateShortcuts(const std::wstring& target, const std::wstring& icon, int icon_index,
                     const std::vector<std::wstring>& locations, HWND window);

}  // namespace nm
