#include "ui/progress_window.h"

#include <utility>

#include "res/resource_ids.h"
#include "base/unique_handle.h"
#include "services/host_windows.h"
#include "services/log.h"
#include "services/process_services.h"
#include "services/update_state.h"
#include "services/window_messages.h"
#include "ui/product_caption.h"

namespace nm {

namespace {
constexpr COLORREF kLabelText = RGB(255, 255, 255);
constexpr COLORREF kLabelBackground = 0x0000B1;  // the red of the label's panel in the background picture

// Posted to itself when the worker has finished, so that the end, which may
// ask questions and open another window, runs after the worker let go.
constexpr UINT kEndOfWorkerMessage = WM_APP + 1;
constexpr UINT_PTR kQuitTimer = 1;
constexpr UINT kWaitAfterStartingApplication = 2000;  // ms

void Hide(HWND window) {
    if (window) ::ShowWindow(window, SW_HIDE);
}
}  // namespace

CDlgMostSimple::CDlgMostSimple(int mode, ProgressDialogActions actions)
    : CDialogSK(IDD_PROGRESS_WINDOW), mode_(mode), actions_(std::move(actions)) {}

bool CDlgMostSimple::OnInitDialog() {
    CDialogSK::OnInitDialog();
    percent_label_ = ::GetDlgItem(Window(), IDC_PROGRESS_PERCENT);
    LoadPictures();
    ::SetWindowTextW(Window(), ProductCaption().c_str());
    SetIcons(IDI_NOVAMEND);
    RegisterAsHost();
    StartWorker();
    ::RedrawWindow(Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return true;
}

void CDlgMostSimple::LoadPictures() {
    // A picture that cannot be loaded is left out; the update runs all the same.
    background_.Attach(Window(), IDC_PROGRESS_BACKGROUND);
    bar_.Attach(Window(), IDC_PROGRESS_BAR);
    minimise_button_.Attach(Window(), IDC_PROGRESS_MINIMISE_BUTTON);
    hide_button_.Attach(Window(), IDC_PROGRESS_HIDE_BUTTON);
    if (background_.Load(IDG_PROGRESS_BACKGROUND)) {
        background_.Draw();
        FitToBackground();
    } else {
        WriteLog(L"The progress window's background picture could not be loaded.");
        Hide(background_.Window());
    }
    if (bar_.Load(IDG_PROGRESS_BAR))
        bar_.Draw();
    else
        Hide(bar_.Window());
    if (!minimise_button_.SetPictures(IDG_MINIMISE_NORMAL, IDG_MINIMISE_PRESSED, IDG_MINIMISE_HOVER,
                                      IDG_MINIMISE_DISABLED))
        Hide(minimise_button_.Window());
    if (!hide_button_.SetPictures(IDG_HIDE_NORMAL, IDG_HIDE_PRESSED, IDG_HIDE_HOVER, IDG_HIDE_DISABLED))
        Hide(hide_button_.Window());
}

// The window is exactly as large as its background picture.
void CDlgMostSimple::FitToBackground() {
    RECT picture{};
    ::GetWindowRect(background_.Window(), &picture);
    ResizeClient(picture.right - picture.left, picture.bottom - picture.top);
}

void CDlgMostSimple::RegisterAsHost() {
    // Status texts, states and download progress then reach the window the
    // same way they reach a host application.
    ::SetPropW(Window(), kNeedMessagesProperty, reinterpret_cast<HANDLE>(kPropertyOn));
    Services().hosts.Register(Window());
}

void CDlgMostSimple::StartWorker() {
    const bool check_only = mode_ == static_cast<int>(ProgressDialogMode::CheckOnly) ||
                            mode_ == static_cast<int>(ProgressDialogMode::ApplicationEntry);
    LPTHREAD_START_ROUTINE worker = check_only ? actions_.check_only_worker : actions_.full_cycle_worker;
    unique_handle thread(worker ? ::CreateThread(nullptr, 0, worker, Window(), 0, nullptr) : nullptr);
    if (thread) return;  // it reports through messages alone
    WriteLog(L"The progress window could not start its worker.");
    ::PostMessageW(Window(), WM_COMMAND, kCommandWorkerFinished, 0);
}

bool CDlgMostSimple::PaintBackground(HDC dc) {
    if (!::IsWindowVisible(background_.Window())) return false;
    RECT where{};
    ::GetWindowRect(background_.Window(), &where);
    ::MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&where), 2);
    return background_.PaintTo(dc, where);
}

INT_PTR CDlgMostSimple::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case UM_HOST_STATE:
        // The state is told again while it lasts: the sizes are taken as the download begins.
        if (wparam == UpdateDownload && percent_.State() != UpdateDownload && actions_.download_sizes)
            percent_.SetRowSizes(actions_.download_sizes());
        ShowPercent(percent_.OnState(static_cast<int>(wparam)));
        return Handled(0);
    case UM_FILESIZE:
        percent_.OnRowSize(static_cast<long>(static_cast<INT_PTR>(wparam)), static_cast<std::uint64_t>(lparam));
        return Handled(0);
    case UM_FILEDONE:
        ShowPercent(percent_.OnRowBytes(static_cast<long>(static_cast<INT_PTR>(wparam)),
                                        lparam > 0 ? static_cast<std::uint64_t>(lparam) : 0));
        return Handled(0);
    case UM_HOST_LOG:
        return Handled(0);
    case UM_HOST_DOWNLOADED:
        percent_.SetCounts(static_cast<long>(wparam), static_cast<long>(lparam));
        return Handled(0);
    case UM_HOST_FILEBYTES:
        return OnFileBytes(wparam, lparam);
    case WM_COMMAND:
        return OnCommand(wparam);
    case UM_STATUSTEXT:
        return OnStatusText();
    case kEndOfWorkerMessage:
        return OnEndOfWorker();
    case WM_TIMER:
        return OnTimer(wparam);
    case WM_CTLCOLORSTATIC:
        return OnStaticColour(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
    }
    return CDialogSK::HandleMessage(message, wparam, lparam);
}

INT_PTR CDlgMostSimple::OnCommand(WPARAM wparam) {
    switch (LOWORD(wparam)) {
    case kCommandWorkerFinished:
        return OnWorkerFinished();
    case IDC_PROGRESS_MINIMISE_BUTTON:
    case IDC_PROGRESS_HIDE_BUTTON:
        ::ShowWindow(Window(), SW_SHOWMINIMIZED);
        return TRUE;
    case IDCANCEL:
        // Escape and Alt+F4 close the window only once the worker is done:
        // it sends its progress here until its very end.
        if (worker_finished_) Quit();
        return TRUE;
    }
    return FALSE;
}

INT_PTR CDlgMostSimple::OnFileBytes(WPARAM file_size, LPARAM received) {
    ShowPercent(percent_.OnFileBytes(file_size, received > 0 ? static_cast<std::uint64_t>(received) : 0));
    return Handled(0);
}

INT_PTR CDlgMostSimple::OnStatusText() {
    ShowPercent(percent_.OnStatusText());
    return Handled(0);
}

void CDlgMostSimple::ShowPercent(const std::optional<std::wstring>& label) {
    if (!label || !percent_label_) return;
    ::SetWindowTextW(percent_label_, label->c_str());
    ::UpdateWindow(percent_label_);
}

INT_PTR CDlgMostSimple::OnWorkerFinished() {
    // Nothing of the update reaches the window from here on, so no text can
    // arrive while it closes.
    ::RemovePropW(Window(), kNeedMessagesProperty);
    Services().hosts.Unregister(Window());
    ::PostMessageW(Window(), kEndOfWorkerMessage, 0, 0);
    return Handled(0);
}

INT_PTR CDlgMostSimple::OnEndOfWorker() {
    worker_finished_ = true;
    if (actions_.any_file_needs_elevation && actions_.any_file_needs_elevation()) {
        ::MessageBoxW(Window(), TranslateMain(L"request administrator privileges to continue").c_str(),
                      TranslateMain(L"Novamend").c_str(), MB_OK | MB_ICONINFORMATION);
        if (actions_.restart_elevated) actions_.restart_elevated();
        Quit();
        return Handled(0);
    }
    // A failure is told before the window goes, and before the main program
    // (the old version) starts.
    if (const std::wstring failure = actions_.failure_text ? actions_.failure_text() : L""; !failure.empty())
        ::MessageBoxW(Window(), failure.c_str(), MessageBoxCaption().c_str(), MB_OK | MB_ICONWARNING);
    switch (mode_) {
    case static_cast<int>(ProgressDialogMode::FullCycle):
        if (actions_.start_main_application) actions_.start_main_application();
        ::SetTimer(Window(), kQuitTimer, kWaitAfterStartingApplication, nullptr);
        break;
    case static_cast<int>(ProgressDialogMode::CheckOnly):
        Quit();
        break;
    case static_cast<int>(ProgressDialogMode::ApplicationEntry):
        ::ShowWindow(Window(), SW_HIDE);
        if (actions_.application_entry_question) actions_.application_entry_question();
        Quit();
        break;
    default:
        break;  // stays open until closed
    }
    return Handled(0);
}

INT_PTR CDlgMostSimple::OnTimer(WPARAM timer) {
    if (timer != kQuitTimer) return FALSE;
    Quit();
    return Handled(0);
}

INT_PTR CDlgMostSimple::OnStaticColour(HDC dc, HWND control) {
    // White on the label's red; around the text the background shows through.
    PaintParentBackground(control, dc);
    ::SetTextColor(dc, kLabelText);
    ::SetBkColor(dc, kLabelBackground);
    return reinterpret_cast<INT_PTR>(::GetStockObject(HOLLOW_BRUSH));
}

void CDlgMostSimple::Quit() {
    ::KillTimer(Window(), kQuitTimer);
    End(IDOK);
}

}  // namespace nm
