#include "ui/picture_button.h"

#include <utility>

#include "ui/display_scale.h"
#include "ui/gdi_objects.h"
#include "ui/picture_loader.h"

namespace nm {

namespace {
constexpr COLORREF kTransparent = RGB(0, 0, 0);
}  // namespace

bool CPictureButton::SetPictures(int normal, int pressed, int hover, int disabled) {
    const int ids[] = {normal, pressed, hover, disabled};
    for (int slot = kNormal; slot <= kDisabled; ++slot) {
        pictures_[slot].reset();
        if (ids[slot]) pictures_[slot] = LoadPicture(ProgramResource(ids[slot], L"GIF"));
    }
    for (int slot = kPressed; !pictures_[kNormal] && slot <= kDisabled; ++slot)
        if (pictures_[slot]) pictures_[kNormal] = std::move(pictures_[slot]);
    if (Window()) ::InvalidateRect(Window(), nullptr, FALSE);
    return static_cast<bool>(pictures_[kNormal]);
}

void CPictureButton::OnAttached() {
    const LONG_PTR style = ::GetWindowLongPtrW(Window(), GWL_STYLE);
    ::SetWindowLongPtrW(Window(), GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
}

LRESULT CPictureButton::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_MOUSEMOVE:
        return OnMouseMove(message, wparam, lparam);
    case WM_MOUSEHOVER:
        return OnMouseHover();
    case WM_MOUSELEAVE:
        return OnMouseLeave();
    case WM_ERASEBKGND:
        return 1;  // drawn whole, background included
    case kReflectedDrawItem:
        return OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
    }
    return ControlWindow::HandleMessage(message, wparam, lparam);
}

LRESULT CPictureButton::OnMouseMove(UINT message, WPARAM wparam, LPARAM lparam) {
    if (!tracking_) {
        TRACKMOUSEEVENT track{sizeof(track), TME_HOVER | TME_LEAVE, Window(), 1};
        tracking_ = ::TrackMouseEvent(&track) != FALSE;
    }
    return Default(message, wparam, lparam);
}

LRESULT CPictureButton::OnMouseHover() {
    mouse_over_ = true;
    ::InvalidateRect(Window(), nullptr, FALSE);
    return 0;
}

LRESULT CPictureButton::OnMouseLeave() {
    mouse_over_ = tracking_ = false;
    ::InvalidateRect(Window(), nullptr, FALSE);
    return 0;
}

IPicture* CPictureButton::PictureFor(UINT item_state) const {
    Slot slot = kNormal;
    if (item_state & ODS_SELECTED)
        slot = kPressed;
    else if (item_state & ODS_DISABLED)
        slot = kDisabled;
    else if (mouse_over_)
        slot = kHover;
    return pictures_[slot] ? pictures_[slot].get() : pictures_[kNormal].get();
}

LRESULT CPictureButton::OnDrawItem(const DRAWITEMSTRUCT& item) {
    IPicture* picture = PictureFor(item.itemState);
    if (!picture) return TRUE;
    const RECT& area = item.rcItem;
    const int width = area.right - area.left, height = area.bottom - area.top;
    // Composed off screen, so the button never shows half drawn.
    offscreen_image composed, drawn;
    const SIZE natural = PictureSize(picture);
    if (!composed.Create(width, height) || !drawn.Create(natural.cx, natural.cy)) return TRUE;
    PaintParentBackground(Window(), composed.dc());
    RenderPicture(picture, drawn.dc(), RECT{0, 0, natural.cx, natural.cy});
    // At its natural size, scaled with the display like the dialog around it.
    const int dpi = WindowDpi(Window());
    ::TransparentBlt(composed.dc(), 0, 0, ScaledPixels(natural.cx, dpi), ScaledPixels(natural.cy, dpi), drawn.dc(), 0,
                     0, natural.cx, natural.cy, kTransparent);
    ::BitBlt(item.hDC, area.left, area.top, width, height, composed.dc(), 0, 0, SRCCOPY);
    return TRUE;
}

}  // namespace nm
