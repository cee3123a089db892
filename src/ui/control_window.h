#pragma once
// A control of a dialog, made from the dialog's template, whose messages
// pass through an object first (a subclass), so that it can draw itself.
#include <windows.h>

namespace nm {

// WM_DRAWITEM as the dialog hands it back to the control it is for.
constexpr UINT kReflectedDrawItem = WM_USER + 0x1C00 + WM_DRAWITEM;

class ControlWindow {
public:
    ControlWindow() = default;
    virtual ~ControlWindow() { Detach(); }
    ControlWindow(const ControlWindow&) = delete;
    ControlWindow& operator=(const ControlWindow&) = delete;

    // Takes over the dialog's control with that id; false when it has none.
    bool Attach(HWND dialog, int id) { return Attach(::GetDlgItem(dialog, id)); }
    // Takes over a child window made for it.
    bool Attach(HWND control);
    HWND Window() const { return window_; }

protected:
    virtual void OnAttached() {}
    // One message; what is not handled goes to Default.
    virtual LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
        return Default(message, wparam, lparam);
    }
    LRESULT Default(UINT message, WPARAM wparam, LPARAM lparam);

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                         DWORD_PTR self);
    void Detach();

    HWND window_ = nullptr;
};

// Paints what the parent shows under the child into the child's DC, for
// controls whose pictures let the background through.
void PaintParentBackground(HWND child, HDC dc);

}  // namespace nm
