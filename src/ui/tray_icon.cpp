#include "ui/tray_icon.h"

#include <shellapi.h>

#include <algorithm>
#include <iterator>

#include "ui/gdi_objects.h"

namespace nm {

namespace {
// The structure up to its balloon fields: 936 bytes in a 32-bit process,
// understood by every shell since Windows 2000.
constexpr DWORD kNotifyIconDataSize = NOTIFYICONDATAW_V2_SIZE;
}  // namespace

size_t TrayIcon::TipCapacity() { return std::size(NOTIFYICONDATAW{}.szTip); }

bool TrayIcon::Notify(DWORD action) {
    NOTIFYICONDATAW data{};
    data.cbSize = kNotifyIconDataSize;
    data.hWnd = window_;
    data.uID = kTrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayCallbackMessage;
    data.hIcon = icon_;
    const size_t length = std::min(tip_.size(), TipCapacity() - 1);
    std::copy_n(tip_.c_str(), length, data.szTip);
    return ::Shell_NotifyIconW(action, &data) != FALSE;
}

bool TrayIcon::Add(HWND window, HICON icon, const std::wstring& tip) {
    window_ = window;
    icon_ = icon;
    tip_ = tip;
    shown_ = Notify(NIM_ADD);
    return shown_;
}

bool TrayIcon::Restore() {
    if (window_) shown_ = Notify(NIM_ADD);
    return shown_;
}

void TrayIcon::SetTip(const std::wstring& tip) {
    tip_ = tip;
    if (shown_) Notify(NIM_MODIFY);
}

void TrayIcon::Remove(const std::wstring& tip) {
    if (!shown_) return;
    tip_ = tip;
    Notify(NIM_DELETE);
    shown_ = false;
}

UINT TrackTrayMenu(HWND window, const std::wstring& show_text, UINT show_command, const std::wstring& exit_text,
                   UINT exit_command) {
    ::SetForegroundWindow(window);
    unique_hmenu menu(::CreatePopupMenu());
    if (!menu) return 0;
    ::AppendMenuW(menu.get(), MF_STRING, show_command, show_text.c_str());
    ::AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu.get(), MF_STRING, exit_command, exit_text.c_str());
    POINT cursor{};
    ::GetCursorPos(&cursor);
    const UINT chosen = static_cast<UINT>(
        ::TrackPopupMenu(menu.get(), TPM_RIGHTBUTTON | TPM_RETURNCMD, cursor.x, cursor.y, 0, window, nullptr));
    // Lets the menu close properly when the user clicks outside it.
    ::PostMessageW(window, WM_NULL, 0, 0);
    return chosen;
}

}  // namespace nm
