#pragma once
// Owners for what the windows draw with: memory DCs, bitmaps, fonts, menus,
// a window's DC, an object selected for a while, and an off-screen image to
// draw into.
#include <windows.h>

#include "base/unique_handle.h"

namespace nm {

namespace detail {
inline void delete_dc(HDC dc) { ::DeleteDC(dc); }
inline void destroy_menu(HMENU menu) { ::DestroyMenu(menu); }
}  // namespace detail

// DCs made with CreateCompatibleDC.
using unique_hdc = unique_any<HDC, detail::delete_dc, 0>;
using unique_hbitmap = unique_any<HBITMAP, detail::delete_gdi_object, 0>;
using unique_hbrush = unique_any<HBRUSH, detail::delete_gdi_object, 0>;
using unique_hfont = unique_any<HFONT, detail::delete_gdi_object, 0>;
using unique_hmenu = unique_any<HMENU, detail::destroy_menu, 0>;

// The DC of a window (or of the screen, for none), released with its owner.
class window_dc {
public:
    explicit window_dc(HWND window) : window_(window), dc_(::GetDC(window)) {}
    window_dc(const window_dc&) = delete;
    window_dc& operator=(const window_dc&) = delete;
    ~window_dc() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// An object selected into a DC for the scope; the previous one comes back.
class selected_object {
public:
    selected_object(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    selected_object(const selected_object&) = delete;
    selected_object& operator=(const selected_object&) = delete;
    ~selected_object() {
        if (previous_) ::SelectObject(dc_, previous_);
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// BeginPaint and EndPaint around the painting of a window.
class paint_scope {
public:
    explicit paint_scope(HWND window) : window_(window) { ::BeginPaint(window, &paint_); }
    paint_scope(const paint_scope&) = delete;
    paint_scope& operator=(const paint_scope&) = delete;
    ~paint_scope() { ::EndPaint(window_, &paint_); }
    HDC dc() const { return paint_.hdc; }
    // What needs painting, in client coordinates.
    const RECT& area() const { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
};

// A bitmap of the screen's format selected into a memory DC of its own.
class offscreen_image {
public:
    offscreen_image() = default;
    offscreen_image(const offscreen_image&) = delete;
    offscreen_image& operator=(const offscreen_image&) = delete;
    ~offscreen_image() { Reset(); }

    bool Create(int width, int height) {
        Reset();
        window_dc screen(nullptr);
        dc_.reset(::CreateCompatibleDC(screen.get()));
        bitmap_.reset(::CreateCompatibleBitmap(screen.get(), width, height));
        if (!dc_ || !bitmap_) {
            Reset();
            return false;
        }
        previous_ = ::SelectObject(dc_.get(), bitmap_.get());
        width_ = width;
        height_ = height;
        return true;
    }
    void Reset() {
        if (dc_ && previous_) ::SelectObject(dc_.get(), previous_);
        previous_ = nullptr;
        dc_.reset();
        bitmap_.reset();
        width_ = height_ = 0;
    }
    explicit operator bool() const { return static_cast<bool>(dc_); }
    HDC dc() const { return dc_.get(); }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    unique_hdc dc_;
    unique_hbitmap bitmap_;
    HGDIOBJ previous_ = nullptr;
    int width_ = 0, height_ = 0;
};

// Answers WM_PAINT by drawing the whole client area off screen first, so it
// never flickers; the paint DC lets through only what needs repainting.
// paint_into(dc, client, needs_painting) draws straight onto the window when
// no off-screen image can be made.
template <typename Painter>
void PaintOffScreen(HWND window, Painter paint_into) {
    paint_scope paint(window);
    RECT client{};
    ::GetClientRect(window, &client);
    offscreen_image image;
    if (image.Create(client.right, client.bottom)) {
        paint_into(image.dc(), client, paint.area());
        ::BitBlt(paint.dc(), 0, 0, client.right, client.bottom, image.dc(), 0, 0, SRCCOPY);
    } else {
        paint_into(paint.dc(), client, paint.area());
    }
}

}  // namespace nm
