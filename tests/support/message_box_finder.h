// Finds a visible message box by its caption, optionally only among one
// process's windows: tests that run side by side may show boxes with the
// same caption at the same time.
#pragma once

#include <windows.h>

#include <string>

namespace nm {

// The first visible message box captioned `caption` whose process is
// `owner` (0: any process), or null.
inline HWND FindMessageBox(const std::wstring& caption, DWORD owner = 0) {
    struct Search {
        const std::wstring& caption;
        DWORD owner;
        HWND found = nullptr;
    } search{caption, owner};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* search = reinterpret_cast<Search*>(param);
            wchar_t class_name[64] = {}, title[512] = {};
            ::GetClassNameW(window, class_name, 64);
            ::GetWindowTextW(window, title, 512);
            DWORD process = 0;
            ::GetWindowThreadProcessId(window, &process);
            if (std::wstring(class_name) == L"#32770" && search->caption == title && ::IsWindowVisible(window) &&
                (search->owner == 0 || process == search->owner)) {
                search->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace nm
