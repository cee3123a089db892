#include "ui/control_window.h"

#include <commctrl.h>

namespace nm {

namespace {
constexpr UINT_PTR kSubclassId = 1;
}  // namespace

bool ControlWindow::Attach(HWND control) {
    Detach();
    if (!control || !::SetWindowSubclass(control, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    window_ = control;
    OnAttached();
    return true;
}

void ControlWindow::Detach() {
    if (window_) ::RemoveWindowSubclass(window_, SubclassProc, kSubclassId);
    window_ = nullptr;
}

LRESULT ControlWindow::Default(UINT message, WPARAM wparam, LPARAM lparam) {
    return ::DefSubclassProc(window_, message, wparam, lparam);
}

LRESULT CALLBACK ControlWindow::SubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                             DWORD_PTR self) {
    auto* control = reinterpret_cast<ControlWindow*>(self);
    if (message == WM_NCDESTROY) {
        control->Detach();
        return ::DefSubclassProc(window, message, wparam, lparam);
    }
    return control->HandleMessage(message, wparam, lparam);
}

void PaintParentBackground(HWND child, HDC dc) {
    HWND parent = ::GetParent(child);
    if (!parent) return;
    POINT origin{0, 0};
    ::MapWindowPoints(child, parent, &origin, 1);
    POINT previous{};
    ::OffsetViewportOrgEx(dc, -origin.x, -origin.y, &previous);
    ::SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    ::SetViewportOrgEx(dc, previous.x, previous.y, nullptr);
}

}  // namespace nm
