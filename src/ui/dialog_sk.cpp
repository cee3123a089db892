#include "ui/dialog_sk.h"

#include <windowsx.h>

#include <utility>

#include "ui/display_scale.h"

namespace nm {

namespace {
// Dialog base units of the reference font at 100% scaling: a dialog unit is
// a quarter of the width and an eighth of the height.
constexpr int kReferenceUnitWidth = 6, kReferenceUnitHeight = 13;

// From pixels in the dialog's own units back to dialog units: exact, since a
// unit is at least a pixel wide.
int ToDialogUnits(int pixels, int base, int parts) { return (pixels * parts * 2 + base) / (base * 2); }
}  // namespace

bool CDialogSK::OnInitDialog() {
    DialogWindow::OnInitDialog();
    LayOutInReferenceUnits();
    return true;
}

void CDialogSK::LayOutInReferenceUnits() {
    RECT units{0, 0, 4, 8};
    ::MapDialogRect(Window(), &units);
    const int base_x = units.right, base_y = units.bottom;
    if (base_x <= 0 || base_y <= 0) return;
    // Rounded down, as the pictures were drawn: 23 units wide is 34 pixels.
    const int dpi = WindowDpi(Window());
    const auto x = [&](int pixels) {
        return ToDialogUnits(pixels, base_x, 4) * kReferenceUnitWidth * dpi / (4 * kPictureDpi);
    };
    const auto y = [&](int pixels) {
        return ToDialogUnits(pixels, base_y, 8) * kReferenceUnitHeight * dpi / (8 * kPictureDpi);
    };
    for (HWND child = ::GetWindow(Window(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT place{};
        ::GetWindowRect(child, &place);
        ::MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&place), 2);
        ::SetWindowPos(child, nullptr, x(place.left), y(place.top), x(place.right - place.left),
                       y(place.bottom - place.top), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RECT client{};
    ::GetClientRect(Window(), &client);
    ResizeClient(x(client.right), y(client.bottom));
}

void CDialogSK::ResizeClient(int width, int height) {
    RECT window{}, client{};
    ::GetWindowRect(Window(), &window);
    ::GetClientRect(Window(), &client);
    width += (window.right - window.left) - client.right;
    height += (window.bottom - window.top) - client.bottom;
    // Where the system centred the window, it stays centred.
    const int left = window.left + ((window.right - window.left) - width) / 2;
    const int top = window.top + ((window.bottom - window.top) - height) / 2;
    ::SetWindowPos(Window(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialogSK::SetIcons(int icon_id) {
    HINSTANCE program = ::GetModuleHandleW(nullptr);
    for (const auto& [kind, metric] : {std::pair{ICON_BIG, SM_CXICON}, std::pair{ICON_SMALL, SM_CXSMICON}}) {
        const int side = ::GetSystemMetrics(metric);
        if (HANDLE icon = ::LoadImageW(program, MAKEINTRESOURCEW(icon_id), IMAGE_ICON, side, side, LR_SHARED))
            ::SendMessageW(Window(), WM_SETICON, kind, reinterpret_cast<LPARAM>(icon));
    }
}

INT_PTR CDialogSK::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        return OnLeftButtonDown(lparam);
    case WM_ERASEBKGND:
        return OnEraseBackground(reinterpret_cast<HDC>(wparam));
    }
    return DialogWindow::HandleMessage(message, wparam, lparam);
}

INT_PTR CDialogSK::OnLeftButtonDown(LPARAM client_point) {
    // A press anywhere counts as one on a caption: the system moves the window.
    if (move_by_dragging_) {
        POINT point{GET_X_LPARAM(client_point), GET_Y_LPARAM(client_point)};
        ::ClientToScreen(Window(), &point);
        ::PostMessageW(Window(), WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
    }
    return FALSE;
}

INT_PTR CDialogSK::OnEraseBackground(HDC dc) { return PaintBackground(dc) ? Handled(1) : FALSE; }

}  // namespace nm
