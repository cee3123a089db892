#pragma once
// The updater's icon in the notification area: added with its tip, its tip
// changed, removed; the shell reports mouse actions on it to the window as
// kTrayCallbackMessage with the icon's id in wParam.
#include <windows.h>

#include <string>

namespace nm {

constexpr UINT kTrayCallbackMessage = 1124;
constexpr UINT kTrayIconId = 1030;

class TrayIcon {
public:
    TrayIcon() = default;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;
    ~TrayIcon() { Remove(tip_); }

    bool Add(HWND window, HICON icon, const std::wstring& tip);
    // Puts the icon back after the shell restarted (it forgets every icon).
    bool Restore();
    void SetTip(const std::wstring& tip);
    void Remove(const std::wstring& tip);
    // The characters a tip holds, its terminating zero included.
    static size_t TipCapacity();

private:
    bool Notify(DWORD action);

    HWND window_ = nullptr;
    HICON icon_ = nullptr;
    std::wstring tip_;
    bool shown_ = false;
};

// Shows the menu at the cursor and returns the chosen command, 0 for none.
// The window comes to the foreground first, so the menu closes when the user
// clicks elsewhere.
UINT TrackTrayMenu(HWND window, const std::wstring& show_text, UINT show_command, const std::wstring& exit_text,
                   UINT exit_command);

}  // namespace nm
