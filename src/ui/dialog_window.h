#pragma once
// A modal dialog from a template of the program's resources, with one object
// behind its window: the dialog procedure keeps `this` with the window and
// hands every message to it.
#include <windows.h>

namespace nm {

class DialogWindow {
public:
    explicit DialogWindow(int template_id) : template_id_(template_id) {}
    virtual ~DialogWindow() = default;
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    // Shows the dialog and returns when it has ended: the value given to
    // End, or -1 when it could not be created.
    INT_PTR DoModal(HWND owner);
    HWND Window() const { return window_; }
    void End(INT_PTR result) { ::EndDialog(window_, result); }

protected:
    // The controls exist now; true lets the system give the focus.
    virtual bool OnInitDialog() { return true; }
    // One message, with the dialog procedure's result: FALSE leaves it to the
    // system. Derived dialogs dispatch to one handler per message and pass
    // the rest to their base.
    virtual INT_PTR HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
    // The result of a handled message that reports one through the window.
    INT_PTR Handled(LRESULT result = 0) {
        ::SetWindowLongPtrW(window_, DWLP_MSGRESULT, result);
        return TRUE;
    }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    int template_id_;
    HWND window_ = nullptr;
};

}  // namespace nm
