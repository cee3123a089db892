#pragma once
// An owner-drawn button that shows one of four GIF pictures for its normal,
// pressed, hover and disabled states; black pixels let the window behind show.
#include <windows.h>
#include <olectl.h>

#include <array>

#include "base/unique_handle.h"
#include "ui/control_window.h"

namespace nm {

class CPictureButton : public ControlWindow {
public:
    // GIF resource ids in the order normal, pressed, hover, disabled (0 = none).
    // When the normal picture cannot be loaded, the first of the others that
    // can takes its place. False when there is no normal picture.
    bool SetPictures(int normal, int pressed, int hover, int disabled);

protected:
    void OnAttached() override;
    LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    enum Slot { kNormal, kPressed, kHover, kDisabled };
    LRESULT OnMouseMove(UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT OnMouseHover();
    LRESULT OnMouseLeave();
    LRESULT OnDrawItem(const DRAWITEMSTRUCT& item);
    IPicture* PictureFor(UINT item_state) const;

    std::array<com_ptr<IPicture>, 4> pictures_;
    bool tracking_ = false;  // hover and leave notifications were asked for
    bool mouse_over_ = false;
};

}  // namespace nm
