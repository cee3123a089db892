#pragma once
// The pictures are drawn for a display of 96 pixels per inch; at other
// scalings the dialog units make the windows larger, and the pictures are
// drawn larger by the same factor so that they still meet the controls.
#include <windows.h>

namespace nm {

constexpr int kPictureDpi = 96;

// The pixels per inch of the display the window is on.
int WindowDpi(HWND window);
inline int ScaledPixels(int pixels, int dpi) { return ::MulDiv(pixels, dpi, kPictureDpi); }

}  // namespace nm
