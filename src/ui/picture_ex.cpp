#include "ui/picture_ex.h"

#include <utility>

#include "ui/display_scale.h"
#include "ui/gif_frames.h"
#include "ui/picture_loader.h"

namespace nm {

namespace {
constexpr int kRestoreBackground = 2, kRestorePrevious = 3;

// Frames with a delay of 4 hundredths or less are played at 100 ms, as browsers do.
DWORD FrameWait(int delay) { return delay > 4 ? static_cast<DWORD>(delay) * 10 : 100; }
}  // namespace

bool CPictureEx::Load(int resource_id, const wchar_t* type) { return Load(ProgramResource(resource_id, type)); }

bool CPictureEx::Load(std::span<const std::uint8_t> bytes) {
    Stop();
    frames_.clear();
    single_.reset();
    current_ = 0;
    background_ = RGB(255, 255, 255);
    if (!LoadFrames(bytes)) {
        frames_.clear();
        single_.reset();
        std::lock_guard guard(image_lock_);
        image_.Reset();
        return false;
    }
    return PrepareImage();
}

bool CPictureEx::LoadFrames(std::span<const std::uint8_t> bytes) {
    const GifAnimation gif = SplitGif(bytes.data(), bytes.size());
    if (!gif.is_gif) {
        single_ = LoadPicture(bytes);
        if (!single_) return false;
        size_ = PictureSize(single_.get());
        return size_.cx > 0 && size_.cy > 0 && size_.cx <= kLargestGifSide && size_.cy <= kLargestGifSide;
    }
    if (gif.frames.empty()) return false;
    size_ = {gif.width, gif.height};
    if (gif.has_background) background_ = RGB(gif.background[0], gif.background[1], gif.background[2]);
    if (gif.frames.size() == 1) {
        single_ = LoadPicture(bytes);
        return static_cast<bool>(single_);
    }
    for (const GifFrame& split : gif.frames) {
        com_ptr<IPicture> picture = LoadPicture(split.file);
        if (!picture) continue;  // a frame the loader refuses is left out
        Frame frame;
        frame.picture = std::move(picture);
        frame.width = split.width;
        frame.height = split.height;
        frame.left = split.left;
        frame.top = split.top;
        frame.delay = split.delay;
        frame.disposal = split.disposal;
        frames_.push_back(std::move(frame));
    }
    return !frames_.empty();
}

bool CPictureEx::PrepareImage() {
    if (Window()) {
        const int dpi = WindowDpi(Window());
        ::SetWindowPos(Window(), nullptr, 0, 0, ScaledPixels(size_.cx, dpi), ScaledPixels(size_.cy, dpi),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    std::lock_guard guard(image_lock_);
    saved_.Reset();
    if (!image_.Create(size_.cx, size_.cy)) return false;
    Fill(RECT{0, 0, size_.cx, size_.cy});
    background_ = ::GetSysColor(COLOR_BTNFACE);
    return true;
}

void CPictureEx::Draw() {
    if (!frames_.empty()) {
        if (thread_) return;
        stop_ = false;
        wake_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (wake_) thread_.reset(::CreateThread(nullptr, 0, AnimationThread, this, 0, nullptr));
        if (thread_) return;
        // Without a thread the first frame stands still.
        std::lock_guard guard(image_lock_);
        if (image_) RenderPicture(frames_[0].picture.get(), image_.dc(), FrameArea(frames_[0]));
    } else if (single_) {
        std::lock_guard guard(image_lock_);
        if (image_) RenderPicture(single_.get(), image_.dc(), RECT{0, 0, size_.cx, size_.cy});
    }
    if (Window()) ::InvalidateRect(Window(), nullptr, FALSE);
}

void CPictureEx::Stop() {
    if (!thread_) return;
    stop_ = true;
    ::SetEvent(wake_.get());
    ::WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
    wake_.reset();
}

DWORD WINAPI CPictureEx::AnimationThread(void* self) {
    static_cast<CPictureEx*>(self)->Animate();
    return 0;
}

RECT CPictureEx::FrameArea(const Frame& frame) const {
    return RECT{frame.left, frame.top, frame.left + frame.width, frame.top + frame.height};
}

void CPictureEx::Animate() {
    const RECT whole{0, 0, size_.cx, size_.cy};
    std::size_t index = current_;
    while (!stop_) {
        const Frame& frame = frames_[index];
        const RECT area = FrameArea(frame);
        RECT covered{};  // the part of the frame on the image
        ::IntersectRect(&covered, &area, &whole);
        {
            std::lock_guard guard(image_lock_);
            if (index == 0) Fill(whole);
            if (frame.disposal == kRestorePrevious && (saved_ || saved_.Create(size_.cx, size_.cy)))
                ::BitBlt(saved_.dc(), covered.left, covered.top, covered.right - covered.left,
                         covered.bottom - covered.top, image_.dc(), covered.left, covered.top, SRCCOPY);
            RenderPicture(frame.picture.get(), image_.dc(), area);
        }
        ::InvalidateRect(Window(), nullptr, FALSE);
        ::WaitForSingleObject(wake_.get(), FrameWait(frame.delay));
        if (stop_) break;
        {
            std::lock_guard guard(image_lock_);
            if (frame.disposal == kRestoreBackground) Fill(covered);
            if (frame.disposal == kRestorePrevious && saved_)
                ::BitBlt(image_.dc(), covered.left, covered.top, covered.right - covered.left,
                         covered.bottom - covered.top, saved_.dc(), covered.left, covered.top, SRCCOPY);
        }
        index = (index + 1) % frames_.size();
        current_ = index;
    }
}

void CPictureEx::Fill(const RECT& area) {
    unique_hbrush brush(::CreateSolidBrush(background_));
    if (brush) ::FillRect(image_.dc(), &area, brush.get());
}

bool CPictureEx::PaintTo(HDC dc, const RECT& where) {
    std::lock_guard guard(image_lock_);
    if (!image_) return false;
    const int width = where.right - where.left, height = where.bottom - where.top;
    if (width == image_.width() && height == image_.height()) {
        ::BitBlt(dc, where.left, where.top, width, height, image_.dc(), 0, 0, SRCCOPY);
    } else {
        // Smoothed, for displays scaled above 100%.
        const int previous_mode = ::SetStretchBltMode(dc, HALFTONE);
        POINT brush_origin{};
        ::SetBrushOrgEx(dc, 0, 0, &brush_origin);
        ::StretchBlt(dc, where.left, where.top, width, height, image_.dc(), 0, 0, image_.width(), image_.height(),
                     SRCCOPY);
        ::SetStretchBltMode(dc, previous_mode);
        ::SetBrushOrgEx(dc, brush_origin.x, brush_origin.y, nullptr);
    }
    return true;
}

LRESULT CPictureEx::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_PAINT:
        return OnPaint();
    case WM_ERASEBKGND:
        return 1;  // the image covers the whole control
    case WM_DESTROY:
        Stop();
        break;
    }
    return ControlWindow::HandleMessage(message, wparam, lparam);
}

LRESULT CPictureEx::OnPaint() {
    paint_scope paint(Window());
    RECT client{};
    ::GetClientRect(Window(), &client);
    PaintTo(paint.dc(), client);
    return 0;
}

}  // namespace nm
