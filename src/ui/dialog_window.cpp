#include "ui/dialog_window.h"

#include "ui/control_window.h"

namespace nm {

INT_PTR DialogWindow::DoModal(HWND owner) {
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(template_id_), owner, DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

INT_PTR DialogWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_DRAWITEM) {
        // Owner-drawn controls draw themselves.
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
        if (item->CtlType != ODT_MENU && item->hwndItem)
            return ::SendMessageW(item->hwndItem, kReflectedDrawItem, wparam, lparam) ? TRUE : FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK DialogWindow::DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<DialogWindow*>(lparam);
        self->window_ = window;
        ::SetWindowLongPtrW(window, DWLP_USER, lparam);
        return self->OnInitDialog() ? TRUE : FALSE;
    }
    // Messages that come before WM_INITDIALOG (the font) find no object yet.
    auto* self = reinterpret_cast<DialogWindow*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (!self) return FALSE;
    const INT_PTR result = self->HandleMessage(message, wparam, lparam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        self->window_ = nullptr;
    }
    return result;
}

}  // namespace nm
