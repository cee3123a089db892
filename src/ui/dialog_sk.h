#pragma once
// The skinned dialog: no caption, moved by dragging it anywhere, on a
// background that the derived dialog paints. Its controls sit on pictures
// drawn in pixels, so the template's dialog units are taken as those of the
// font the pictures were drawn for (MS Sans Serif 8: 6 x 13 pixels at 100%
// scaling), whatever font the system puts in its place (Tahoma under Wine,
// SimSun on Chinese Windows).
#include <windows.h>

#include "ui/dialog_window.h"

namespace nm {

class CDialogSK : public DialogWindow {
public:
    using DialogWindow::DialogWindow;

protected:
    bool OnInitDialog() override;
    INT_PTR HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
    // Resizes the client area about the window's centre.
    void ResizeClient(int width, int height);
    // The window's big and small icons from an icon resource of the program.
    void SetIcons(int icon_id);
    // Paints the skin in client coordinates; false leaves the system's plain background.
    virtual bool PaintBackground(HDC) { return false; }

    bool move_by_dragging_ = true;

private:
    void LayOutInReferenceUnits();
    INT_PTR OnLeftButtonDown(LPARAM client_point);
    INT_PTR OnEraseBackground(HDC dc);
};

}  // namespace nm
