// Holds Wine's desktop open for a test run: one hidden window and a message
// loop, until the process is ended. Wine ends its desktop process when the
// last program with windows ends and starts it again for the next one; a
// program that opens its first window while the desktop is going away
// cannot create it. Scenarios start and end window programs all the time.
#include <windows.h>

int wmain() {
    HWND window = ::CreateWindowExW(0, L"STATIC", L"novamend desktop keeper", WS_POPUP, 0, 0, 1, 1, nullptr,
                                    nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!window) return 1;
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
    return 0;
}
