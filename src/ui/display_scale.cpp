#include "ui/display_scale.h"

#include "ui/gdi_objects.h"

namespace nm {

int WindowDpi(HWND window) {
    // Per display where the system knows it (Windows 10); the screen's otherwise.
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const auto dpi_for_window = reinterpret_cast<DpiForWindow>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (dpi_for_window && window) {
        if (const UINT dpi = dpi_for_window(window)) return static_cast<int>(dpi);
    }
    window_dc screen(nullptr);
    const int dpi = ::GetDeviceCaps(screen.get(), LOGPIXELSX);
    return dpi > 0 ? dpi : kPictureDpi;
}

}  // namespace nm
