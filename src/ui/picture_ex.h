#pragma once
// A static control that plays an animated GIF on a thread of its own: the
// file is split into one picture per frame (the system's loader shows only
// the first image of a file), and the frames are drawn into an off-screen
// image with their delays and disposal methods. Other pictures, and GIFs of
// one image, are drawn once, without a thread.
#include <windows.h>
#include <olectl.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "base/unique_handle.h"
#include "ui/control_window.h"
#include "ui/gdi_objects.h"

namespace nm {

class CPictureEx : public ControlWindow {
public:
    ~CPictureEx() override { Stop(); }

    // A picture of the program's resources; false when it cannot be shown.
    bool Load(int resource_id, const wchar_t* type = L"GIF");
    // Loads the picture, sizes the control to it and prepares its image.
    bool Load(std::span<const std::uint8_t> bytes);
    // Starts the animation, or draws a still picture once.
    void Draw();
    // Ends the animation at once.
    void Stop();
    // The current image, stretched into the rectangle; false before a picture was loaded.
    bool PaintTo(HDC dc, const RECT& where);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    struct Frame {
        com_ptr<IPicture> picture;
        int width = 0, height = 0, left = 0, top = 0;
        int delay = -1;  // hundredths of a second
        int disposal = 0;
    };

    bool LoadFrames(std::span<const std::uint8_t> bytes);
    bool PrepareImage();
    static DWORD WINAPI AnimationThread(void* self);
    void Animate();
    void Fill(const RECT& area);  // with the image lock held
    RECT FrameArea(const Frame& frame) const;
    LRESULT OnPaint();

    SIZE size_{0, 0};                           // of the whole animation, in pixels
    COLORREF background_ = RGB(255, 255, 255);  // the GIF's, then the button face once sized
    com_ptr<IPicture> single_;
    std::vector<Frame> frames_;
    std::size_t current_ = 0;
    std::atomic<bool> stop_{false};
    unique_handle wake_;  // set to end a frame's wait at once
    unique_handle thread_;

    std::mutex image_lock_;  // the window thread paints from the image, the animation draws into it
    offscreen_image image_;
    offscreen_image saved_;  // what a frame that restores the previous image covered
};

}  // namespace nm
