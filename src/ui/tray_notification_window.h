#pragma once
// The notification window of the tray mode: painted on its background
// picture with the application's name, one line of news, the countdown to
// an automatic update and three links; the tray icon's menu shows it or
// ends the updater. It checks at start and every CheckTmSpan minutes on
// worker threads and runs updates in the progress dialog.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

#include "list/download_list.h"
#include "ui/dialog_sk.h"
#include "ui/gdi_objects.h"
#include "ui/tray_icon.h"
#include "ui/tray_rules.h"
#include "ui/tray_window.h"

namespace nm {

class CDlgUpdaterIcon : public CDialogSK {
public:
    CDlgUpdaterIcon(DownLoadList& list, TrayWindowActions actions);

protected:
    bool OnInitDialog() override;
    INT_PTR HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
    // Everything is painted at WM_PAINT, off screen first.
    bool PaintBackground(HDC) override { return true; }

private:
    INT_PTR OnPaint();
    INT_PTR OnTrayIcon(WPARAM id, LPARAM mouse_message);
    INT_PTR OnStepState(WPARAM state, LPARAM file_count);
    INT_PTR OnTimer();
    INT_PTR OnMouseMove(LPARAM client_point);
    INT_PTR OnLeftButtonDown(LPARAM client_point);
    INT_PTR OnCommand(WPARAM wparam);
    INT_PTR OnCheckBegins();
    INT_PTR OnCheckEnded();
    INT_PTR OnDestroy();

    void StartCheck();
    void RunUpdate(bool automatic);
    void ShowNotification();
    void HideNotification();
    void RefreshTip();
    void Close() {
        closing_ = true;
        End(IDOK);
    }
    void Paint(HDC dc, const RECT& client);
    // A link (or "Cancel") at left/top in its hover style; its hot area is its text.
    void PaintLink(HDC dc, const wchar_t* name, const std::wstring& text, int left, int top);
    void Repaint(const tray::Area& area, int grow);
    std::wstring HotAreaAt(LPARAM client_point) const;
    int Px(int pixels) const;

    DownLoadList& list_;
    TrayWindowActions actions_;

    HICON icon_ = nullptr;
    long found_count_ = 0;
    int check_state_ = 0;
    bool updating_ = false;
    long countdown_ = -1;
    std::wstring notification_text_;
    std::wstring release_notes_;  // the found release's description
    unique_hbitmap background_;
    unique_hbitmap close_bitmap_;
    std::wstring hovered_;
    std::int64_t last_check_time_ = 0;
    std::map<std::wstring, tray::Area> hot_areas_;

    // An update's outcome stays the line until the next check begins.
    std::wstring outcome_;
    // Set from the start of a check thread until its end reaches the window.
    bool check_running_ = false;
    // The window stays hidden until it first has something to show.
    bool may_show_ = false;
    bool tracking_mouse_ = false;
    // Ended while the progress dialog ran: nothing is shown any more.
    bool closing_ = false;
    int dpi_ = 96;
    SIZE background_size_{};
    unique_hfont bold_font_, link_font_;
    TrayIcon tray_icon_;
    UINT taskbar_created_ = 0;
};

}  // namespace nm
