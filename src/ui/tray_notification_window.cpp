#include "ui/tray_notification_window.h"

#include <windowsx.h>

#include <ctime>
#include <utility>

#include "res/resource_ids.h"
#include "base/text.h"
#include "base/threads.h"
#include "services/host_windows.h"
#include "services/process_services.h"
#include "services/update_state.h"
#include "services/window_messages.h"
#include "ui/display_scale.h"

namespace nm {

namespace {
constexpr UINT_PTR kTickTimer = 0;
constexpr UINT kTickMs = 500;
constexpr long kCountdownSeconds = 120;
constexpr UINT kShowCommand = 40096, kExitCommand = 40097;
// Sent by a check thread to the window at its start and at its end, so that
// everything the window holds changes on its own thread.
constexpr UINT kCheckBeginsMessage = WM_APP + 1, kCheckEndedMessage = WM_APP + 2;
// Off screen: the window exists but is out of sight until it is shown.
constexpr int kOffScreen = -800;
// The release notes the window has room for, cut to fit.
constexpr size_t kReleaseNotesInWindow = 160, kReleaseNotesLines = 2;
// The window's corner, from the screen's bottom right corner.
constexpr int kRightMargin = 5, kBottomMargin = 45;
constexpr tray::Area kCloseArea{196, 8, 210, 22};
constexpr COLORREF kLinkHover = 0xFF0000, kText = 0;

std::int64_t Now() { return static_cast<std::int64_t>(std::time(nullptr)); }

std::wstring CheckSpanSetting() { return Services().settings.Read(L"Novamend", L"CheckTmSpan"); }

std::wstring Translate(const wchar_t* section, const std::wstring& text) {
    return Services().language.Translate(section, text);
}

SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP info{};
    if (!bitmap || !::GetObjectW(bitmap, sizeof(info), &info)) return {};
    return {info.bmWidth, info.bmHeight};
}

// Draws the whole bitmap into the rectangle, stretched to it.
void DrawBitmap(HDC dc, HBITMAP bitmap, const RECT& where) {
    const SIZE size = BitmapSize(bitmap);
    unique_hdc source(::CreateCompatibleDC(dc));
    if (!source || size.cx == 0) return;
    selected_object picture(source.get(), bitmap);
    ::SetStretchBltMode(dc, HALFTONE);
    ::StretchBlt(dc, where.left, where.top, where.right - where.left, where.bottom - where.top, source.get(), 0, 0,
                 size.cx, size.cy, SRCCOPY);
}

unique_hfont FontVariant(HFONT font, LONG weight, BYTE underline) {
    LOGFONTW description{};
    if (!font || !::GetObjectW(font, sizeof(description), &description)) return {};
    description.lfWeight = weight;
    description.lfUnderline = underline;
    return unique_hfont(::CreateFontIndirectW(&description));
}

// The text's rectangle when drawn on one line from left/top.
RECT TextBox(HDC dc, const std::wstring& text, int left, int top) {
    RECT box{left, top, left, top};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
    return box;
}
}  // namespace

CDlgUpdaterIcon::CDlgUpdaterIcon(DownLoadList& list, TrayWindowActions actions)
    : CDialogSK(IDD_TRAY_NOTIFICATION), list_(list), actions_(std::move(actions)) {
    // A click is also the start of a drag; it is handled in its order below.
    move_by_dragging_ = false;
}

int CDlgUpdaterIcon::Px(int pixels) const { return ScaledPixels(pixels, dpi_); }

bool CDlgUpdaterIcon::OnInitDialog() {
    CDialogSK::OnInitDialog();
    dpi_ = WindowDpi(Window());
    ::SetWindowTextW(Window(), Services().settings.ApplicationName().c_str());
    ::SetTimer(Window(), kTickTimer, kTickMs, nullptr);
    ::SetPropW(Window(), kNeedMessagesProperty, reinterpret_cast<HANDLE>(kPropertyOn));
    HINSTANCE program = ::GetModuleHandleW(nullptr);
    background_.reset(static_cast<HBITMAP>(
        ::LoadImageW(program, MAKEINTRESOURCEW(IDB_TRAY_BACKGROUND), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    close_bitmap_.reset(static_cast<HBITMAP>(
        ::LoadImageW(program, MAKEINTRESOURCEW(IDB_TRAY_CLOSE), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    background_size_ = BitmapSize(background_.get());
    hot_areas_[L"close"] = {Px(kCloseArea.left), Px(kCloseArea.top), Px(kCloseArea.right), Px(kCloseArea.bottom)};
    ::SetWindowPos(Window(), nullptr, kOffScreen, kOffScreen, Px(background_size_.cx), Px(background_size_.cy),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    SetIcons(IDI_NOVAMEND);
    icon_ = reinterpret_cast<HICON>(::SendMessageW(Window(), WM_GETICON, ICON_SMALL, 0));
    const HFONT font = reinterpret_cast<HFONT>(::SendMessageW(Window(), WM_GETFONT, 0, 0));
    bold_font_ = FontVariant(font, FW_BOLD, FALSE);
    link_font_ = FontVariant(font, FW_NORMAL, TRUE);
    // The shell forgets its icons when it restarts and says so with this message.
    taskbar_created_ = ::RegisterWindowMessageW(L"TaskbarCreated");
    tray_icon_.Add(Window(), icon_, L"Update Center");
    StartCheck();
    return true;
}

INT_PTR CDlgUpdaterIcon::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_PAINT:
        return OnPaint();
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(icon_);
    case kTrayCallbackMessage:
        return OnTrayIcon(wparam, lparam);
    case WM_DESTROY:
        return OnDestroy();
    case WM_SIZE:
        if (wparam == SIZE_MINIMIZED) HideNotification();
        return FALSE;
    case WM_WINDOWPOSCHANGING:
        if (!may_show_) reinterpret_cast<WINDOWPOS*>(lparam)->flags &= ~SWP_SHOWWINDOW;
        return FALSE;
    case WM_TIMER:
        return wparam == kTickTimer ? OnTimer() : FALSE;
    case WM_COMMAND:
        return OnCommand(wparam);
    case WM_LBUTTONDOWN:
        return OnLeftButtonDown(lparam);
    case UM_HOST_STATE:
        return OnStepState(wparam, lparam);
    case WM_MOUSEMOVE:
        return OnMouseMove(lparam);
    case WM_MOUSELEAVE:
        tracking_mouse_ = false;
        return OnMouseMove(MAKELPARAM(-1000, -1000));
    case kCheckBeginsMessage:
        return OnCheckBegins();
    case kCheckEndedMessage:
        return OnCheckEnded();
    case UM_STATUSTEXT:
    case UM_HOST_LOG:
    case UM_HOST_DOWNLOADED:
    case UM_HOST_DESCRIPTION:
    case UM_HOST_FILEBYTES:
        return Handled(0);  // a host window hears these too; the line follows the states alone
    }
    if (taskbar_created_ && message == taskbar_created_) {
        tray_icon_.Restore();
        return Handled(0);
    }
    return CDialogSK::HandleMessage(message, wparam, lparam);
}

// Check run -------------------------------------------------------------

void CDlgUpdaterIcon::StartCheck() {
    if (check_running_ || updating_) return;
    check_running_ = true;
    HWND window = Window();
    auto check = actions_.check;
    const bool started = StartDetached([window, check] {
        ::SendMessageW(window, kCheckBeginsMessage, 0, 0);
        SetUpdateState(UpdateNone, nullptr);
        if (check) check();
        ::SendMessageW(window, kCheckEndedMessage, 0, 0);
    });
    if (!started) check_running_ = false;
}

INT_PTR CDlgUpdaterIcon::OnCheckBegins() {
    last_check_time_ = Now();
    outcome_.clear();
    Services().hosts.Register(Window());
    return Handled(0);
}

INT_PTR CDlgUpdaterIcon::OnCheckEnded() {
    Services().hosts.Unregister(Window());
    check_running_ = false;
    if (found_count_ > 0) countdown_ = kCountdownSeconds;
    ::InvalidateRect(Window(), nullptr, FALSE);
    if (tray::EndsWhenIdle(CheckSpanSetting()) && found_count_ == 0 && check_state_ == UpdateCheckRemoteOk) Close();
    return Handled(0);
}

INT_PTR CDlgUpdaterIcon::OnStepState(WPARAM state, LPARAM file_count) {
    check_state_ = static_cast<int>(state);
    found_count_ = static_cast<long>(file_count);
    // Read while the check waits for this message to be handled.
    if (check_state_ == UpdateCheckRemoteOk) release_notes_ = found_count_ > 0 ? list_.description : L"";
    if (check_state_ == UpdateCheckRemote || check_state_ == UpdateCheckRemoteError) release_notes_.clear();
    RefreshTip();
    ::InvalidateRect(Window(), nullptr, FALSE);
    if (check_state_ == UpdateCheckRemoteOk && found_count_ > 0) ShowNotification();
    return Handled(0);
}

void CDlgUpdaterIcon::RefreshTip() {
    std::wstring line = outcome_;
    if (updating_ || line.empty()) {
        const tray::Notification news = tray::NotificationFor(updating_, check_state_, found_count_);
        line = news.text.empty() ? L"" : Translate(updating_ ? L"TRYICON" : L"MAIN", news.text);
        if (news.with_count) line = text::Format(line, {std::to_wstring(found_count_)});
    }
    notification_text_ = line;
    const std::wstring name = Services().settings.ApplicationName();
    if (!name.empty()) tray_icon_.SetTip(tray::TrayTip(name, line, TrayIcon::TipCapacity()));
}

// Timer and update run --------------------------------------------------

INT_PTR CDlgUpdaterIcon::OnTimer() {
    if (countdown_ >= 0) {
        const long before = countdown_;
        countdown_ = tray::CountdownAfterTick(countdown_, Now() - last_check_time_);
        if (countdown_ != before) {
            tray::Area line = hot_areas_[L"cancel"];
            line.left = Px(5);
            Repaint(line, Px(2));
        }
        if (before > 0 && countdown_ == 0) {
            countdown_ = -1;
            VariableTable& variables = Services().variables;
            const std::wstring skin = variables.Get(L"NovamendSkin");
            variables.Set(L"NovamendSkin", L"MostSimple");
            RunUpdate(true);
            variables.Set(L"NovamendSkin", skin);
        }
    }
    if (check_state_ != UpdateCheckRemote && !updating_ && !check_running_ &&
        Now() - last_check_time_ >= tray::CheckMinutes(CheckSpanSetting()) * 60) {
        last_check_time_ = Now();
        StartCheck();
    }
    return Handled(0);
}

void CDlgUpdaterIcon::RunUpdate(bool automatic) {
    // A check still running writes the same list: the update waits for a later click.
    if (updating_ || check_running_) return;
    HideNotification();
    updating_ = true;
    RefreshTip();
    Services().hosts.Unregister(Window());
    list_.RemoveAll();
    list_.description.clear();
    SetUpdateState(UpdateNone, nullptr);
    if (actions_.update) actions_.update(automatic);
    const std::wstring outcome = tray::OutcomeOfUpdate(CurrentUpdateState(), list_.FileCount() > 0);
    if (!outcome.empty()) outcome_ = Translate(L"MAIN", outcome);
    last_check_time_ = Now();
    updating_ = false;
    RefreshTip();
    if (tray::EndsWhenIdle(CheckSpanSetting())) Close();
    if (!closing_) ShowNotification();
}

void CDlgUpdaterIcon::ShowNotification() {
    may_show_ = true;
    RECT place{};
    ::GetWindowRect(Window(), &place);
    if (place.left < 0) {
        const int width = place.right - place.left, height = place.bottom - place.top;
        ::SetWindowPos(Window(), nullptr, ::GetSystemMetrics(SM_CXSCREEN) - kRightMargin - width,
                       ::GetSystemMetrics(SM_CYSCREEN) - kBottomMargin - height, 0, 0,
                       SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    ::ShowWindow(Window(), SW_SHOWNORMAL);
    ::SetForegroundWindow(Window());
    ::InvalidateRect(Window(), nullptr, FALSE);
}

void CDlgUpdaterIcon::HideNotification() { ::ShowWindow(Window(), SW_HIDE); }

// Tray icon, commands, mouse ---------------------------------------------

INT_PTR CDlgUpdaterIcon::OnTrayIcon(WPARAM id, LPARAM mouse_message) {
    if (id != kTrayIconId) return Handled(0);
    if (mouse_message == WM_LBUTTONDBLCLK) ShowNotification();
    if (mouse_message == WM_RBUTTONDOWN) {
        const UINT chosen = TrackTrayMenu(Window(), Translate(L"TRYICON", L"Show check window"), kShowCommand,
                                          Translate(L"MAIN", L"Exit"), kExitCommand);
        if (chosen == kExitCommand) Close();
        if (chosen == kShowCommand) ShowNotification();
    }
    return Handled(0);
}

INT_PTR CDlgUpdaterIcon::OnCommand(WPARAM wparam) {
    // Enter puts the window away and the updater stays; Escape, Alt+F4 and a
    // close request from outside end it as they end any dialog.
    if (LOWORD(wparam) == IDOK) HideNotification();
    if (LOWORD(wparam) == IDCANCEL) Close();
    return TRUE;
}

std::wstring CDlgUpdaterIcon::HotAreaAt(LPARAM client_point) const {
    const int x = GET_X_LPARAM(client_point), y = GET_Y_LPARAM(client_point);
    for (const auto& [name, area] : hot_areas_)
        if (tray::Contains(area, x, y)) return name;
    return L"";
}

INT_PTR CDlgUpdaterIcon::OnMouseMove(LPARAM client_point) {
    if (!tracking_mouse_) {
        TRACKMOUSEEVENT leave{};
        leave.cbSize = sizeof(leave);
        leave.dwFlags = TME_LEAVE;
        leave.hwndTrack = Window();
        tracking_mouse_ = ::TrackMouseEvent(&leave) != FALSE;
    }
    const std::wstring area = HotAreaAt(client_point);
    if (area == hovered_) return Handled(0);
    const std::wstring before = std::exchange(hovered_, area);
    if (!before.empty()) Repaint(hot_areas_[before], Px(3));
    if (!area.empty()) Repaint(hot_areas_[area], Px(3));
    return Handled(0);
}

INT_PTR CDlgUpdaterIcon::OnLeftButtonDown(LPARAM client_point) {
    // First the drag, as on a caption: it returns when the button is released.
    POINT screen{GET_X_LPARAM(client_point), GET_Y_LPARAM(client_point)};
    ::ClientToScreen(Window(), &screen);
    ::SendMessageW(Window(), WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(screen.x, screen.y));
    const std::wstring area = HotAreaAt(client_point);
    if (area == L"close") {
        countdown_ = -1;
        HideNotification();
    } else if (area == L"cancel") {
        countdown_ = -1;
        ::InvalidateRect(Window(), nullptr, FALSE);
    } else if (!updating_ && area == L"check") {
        countdown_ = -1;
        ::InvalidateRect(Window(), nullptr, FALSE);
        if (check_state_ != UpdateCheckRemote) StartCheck();
    } else if (!updating_ && area == L"update") {
        countdown_ = -1;
        RunUpdate(false);
    }
    return Handled(0);
}

INT_PTR CDlgUpdaterIcon::OnDestroy() {
    ::KillTimer(Window(), kTickTimer);
    Services().hosts.Unregister(Window());
    ::RemovePropW(Window(), kNeedMessagesProperty);
    tray_icon_.Remove(Translate(L"TRYICON", L"Update Center"));
    return FALSE;
}

// Painting ---------------------------------------------------------------

INT_PTR CDlgUpdaterIcon::OnPaint() {
    PaintOffScreen(Window(), [this](HDC dc, const RECT& client, const RECT&) { Paint(dc, client); });
    return TRUE;
}

void CDlgUpdaterIcon::Paint(HDC dc, const RECT& client) {
    DrawBitmap(dc, background_.get(), client);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, kText);
    const HFONT font = reinterpret_cast<HFONT>(::SendMessageW(Window(), WM_GETFONT, 0, 0));
    selected_object keep_font(dc, font);
    RECT line{client.left + Px(20), client.top + Px(20), client.right - Px(20), client.bottom - Px(20)};
    constexpr UINT kLine = DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
    {
        selected_object bold(dc, bold_font_ ? bold_font_.get() : font);
        const std::wstring name = Services().settings.ApplicationName();
        ::DrawTextW(dc, name.c_str(), -1, &line, kLine);
    }
    line.top += Px(20);
    ::DrawTextW(dc, notification_text_.c_str(), -1, &line, kLine);
    line.top += Px(20);
    if (countdown_ >= 0) {
        const std::wstring countdown =
            text::Format(Translate(L"TRYICON", L"Update after %d seconds."), {std::to_wstring(countdown_)});
        ::DrawTextW(dc, countdown.c_str(), -1, &line, kLine);
        const RECT written = TextBox(dc, countdown, line.left, line.top);
        PaintLink(dc, L"cancel", Translate(L"TRYICON", L"Cancel"), written.right + Px(5), line.top);
    } else {
        hot_areas_[L"cancel"] = {};
    }
    const int bottom_line = client.bottom - Px(32), width = client.right - client.left;
    if (!release_notes_.empty() && !updating_) {
        // What the release brings, in the room left above the links.
        line.top += countdown_ >= 0 ? Px(20) : 0;
        RECT notes{line.left, line.top, line.right, bottom_line - Px(4)};
        const std::wstring excerpt = text::Excerpt(release_notes_, kReleaseNotesInWindow, kReleaseNotesLines);
        ::DrawTextW(dc, excerpt.c_str(), -1, &notes, DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS | DT_EDITCONTROL);
    }
    PaintLink(dc, L"check", Translate(L"TRYICON", L"Check again"), width / 3, bottom_line);
    PaintLink(dc, L"update", Translate(L"TRYICON", L"Update"), width * 2 / 3, bottom_line);
    if (hovered_ == L"close") {
        const tray::Area& area = hot_areas_[L"close"];
        DrawBitmap(dc, close_bitmap_.get(), {area.left, area.top, area.right + 1, area.bottom + 1});
    }
}

void CDlgUpdaterIcon::PaintLink(HDC dc, const wchar_t* name, const std::wstring& text, int left, int top) {
    const bool hovered = hovered_ == name;
    selected_object font(dc, hovered && link_font_
                                 ? link_font_.get()
                                 : reinterpret_cast<HFONT>(::SendMessageW(Window(), WM_GETFONT, 0, 0)));
    RECT box = TextBox(dc, text, left, top);
    ::SetTextColor(dc, hovered ? kLinkHover : kText);
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, DT_SINGLELINE | DT_NOPREFIX);
    ::SetTextColor(dc, kText);
    hot_areas_[name] = {box.left, box.top, box.right, box.bottom};
}

void CDlgUpdaterIcon::Repaint(const tray::Area& area, int grow) {
    RECT box{area.left - grow, area.top - grow, area.right + grow, area.bottom + grow};
    ::InvalidateRect(Window(), &box, FALSE);
}

}  // namespace nm
