// progress_probe: finds one of the updater's windows by its caption (the
// progress window, the tray window, the .NET Framework dialog), or any
// window by its handle, reads its controls and its pixels, and works it with
// the real mouse or with the messages its controls send.
//   progress_probe.exe <caption, or # and a handle in decimal> <record file> <command>...
//     wait            wait for the window to show; record its placement
//     until LOW HIGH  wait until the label shows a percent above LOW and below HIGH
//     drag DX DY      press on the background, move by DX, DY, release; record the placement
//     click ID        click the middle of control ID; record whether the window is minimised
//     press ID        press button ID as a click would, without the pointer
//     close           close the window as its close box would
//     watch           record every new label text until the window is gone
//     text ID TEXT    wait until control ID reads TEXT ("-" for any); record it
//     hover X Y       move the mouse to the window's client point X, Y
//     look L T R B    record what the client rectangle shows
//     hidden, gone    wait until the window is hidden, destroyed
//     traymenu        right-click the first icon of the notification area, choose the menu's last item
//   progress_probe.exe <caption> <record file> absent MS
//     records whether a window of that caption showed within MS milliseconds
//   progress_probe.exe - <record file> trayempty MS
//     records whether the notification area had no icon left within MS milliseconds
// The record file (UTF-8, a line each, written as it happens):
//   window\t<left>\t<top>\t<width>\t<height>      on the screen
//   client\t<left>\t<top>\t<width>\t<height>      its client area, on the screen
//   control\t<id>\t<x>\t<y>\t<width>\t<height>    in the window's client area, those not hidden
//   label\t<text>                                 trailing blanks cut
//   iconic\t<0|1>
//   text\t<id>\t<text>
//   look\t<pixels of link blue>\t<colour at the centre, RRGGBB>
//   hidden, gone, shown\t<0|1>, screen\t<width>\t<height>
//   tray\t<0|1> (an icon was there to click), menu\t<0|1> (its menu opened), trayempty\t<0|1>
//   timeout\t<command>                            and the exit code is 1
#include <windows.h>

#include <cwchar>
#include <string>

#include "base/text.h"
#include "ui/gdi_objects.h"
#include "test_files.h"

namespace {

constexpr int kControls[] = {165, 166, 167, 170, 160};
// Long enough for the tray mode's next check a minute after an update and its countdown.
constexpr DWORD kWaitMs = 240000;

std::wstring g_record;

void Record(const std::wstring& line) { nm::AppendFileBytes(g_record, nm::text::ToUtf8(line + L"\n")); }

std::wstring Numbers(std::initializer_list<long> values) {
    std::wstring out;
    for (long value : values) out += L"\t" + std::to_wstring(value);
    return out;
}

// Waits until the condition holds; false when it never did.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD wait_ms = kWaitMs) {
    for (DWORD waited = 0; waited < wait_ms; waited += 20) {
        if (condition()) return true;
        ::Sleep(20);
    }
    return condition();
}

HWND FindWindowCaptioned(const std::wstring& caption, bool visible, DWORD wait_ms = kWaitMs) {
    HWND window = nullptr;
    WaitUntil(
        [&] {
            window =
                caption.starts_with(L'#')
                    ? reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::wcstoull(caption.c_str() + 1, nullptr, 10)))
                    : ::FindWindowW(L"#32770", caption.c_str());
            if (window && !::IsWindow(window)) window = nullptr;
            return window && (!visible || ::IsWindowVisible(window));
        },
        wait_ms);
    return window && (!visible || ::IsWindowVisible(window)) ? window : nullptr;
}

void RecordPlacement(HWND window) {
    RECT place{};
    ::GetWindowRect(window, &place);
    Record(L"window" + Numbers({place.left, place.top, place.right - place.left, place.bottom - place.top}));
    ::GetClientRect(window, &place);
    ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&place), 2);
    Record(L"client" + Numbers({place.left, place.top, place.right - place.left, place.bottom - place.top}));
    for (int id : kControls) {
        HWND control = ::GetDlgItem(window, id);
        if (!control || !(::GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE)) continue;
        ::GetWindowRect(control, &place);
        ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
        Record(L"control" + Numbers({id, place.left, place.top, place.right - place.left, place.bottom - place.top}));
    }
}

std::wstring Label(HWND window) {
    wchar_t text[256] = {};
    ::GetDlgItemTextW(window, 165, text, 256);
    return nm::text::Trim(text);
}

// Moves the real mouse, in absolute screen coordinates.
void MouseTo(POINT point, DWORD buttons = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = ::MulDiv(point.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = ::MulDiv(point.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
    ::SendInput(1, &input, sizeof(input));
    ::Sleep(30);
}

// Other tests' windows may share the display: this one goes on top first.
void BringToTop(HWND window) {
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetForegroundWindow(window);
    ::Sleep(200);
}

POINT ClientPoint(HWND window, int x, int y) {
    POINT point{x, y};
    ::ClientToScreen(window, &point);
    return point;
}

void ClickAt(POINT point, DWORD down, DWORD up) {
    MouseTo(point);
    MouseTo(point, down);
    MouseTo(point, up);
}

// Pixels of the link colour in the rectangle, and the colour at its centre.
void Look(HWND window, RECT box) {
    ::Sleep(300);  // the window repaints after the mouse moved
    const POINT origin = ClientPoint(window, 0, 0);
    nm::window_dc screen(nullptr);
    long blue = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x) {
            const COLORREF pixel = ::GetPixel(screen.get(), origin.x + x, origin.y + y);
            if (GetBValue(pixel) > 160 && GetRValue(pixel) < 90 && GetGValue(pixel) < 90) ++blue;
        }
    const COLORREF centre =
        ::GetPixel(screen.get(), origin.x + (box.left + box.right) / 2, origin.y + (box.top + box.bottom) / 2);
    wchar_t colour[8] = {};
    ::swprintf(colour, 8, L"%02X%02X%02X", GetRValue(centre), GetGValue(centre), GetBValue(centre));
    Record(L"look" + Numbers({blue}) + L"\t" + colour);
}

HWND VisibleWindowOfClass(const wchar_t* name) {
    HWND window = ::FindWindowExW(nullptr, nullptr, name, nullptr);
    while (window && !::IsWindowVisible(window)) window = ::FindWindowExW(nullptr, window, name, nullptr);
    return window;
}

// The notification area as the shell of this system shows it: the taskbar's,
// or the window Wine draws for the icons when the desktop has no tray.
void ChooseLastTrayMenuItem() {
    HWND tray = nullptr;
    WaitUntil(
        [&] {
            tray = VisibleWindowOfClass(L"Shell_TrayWnd");
            if (!tray) tray = VisibleWindowOfClass(L"__winex11_standalone_tray");
            return tray != nullptr;
        },
        5000);
    const bool icon = tray != nullptr;
    Record(L"tray\t" + std::to_wstring(icon ? 1 : 0));
    if (!icon) return;
    RECT place{};
    ::GetClientRect(tray, &place);
    const int side = ::GetSystemMetrics(SM_CXSMICON) + 4;
    ClickAt(ClientPoint(tray, side / 2, place.bottom / 2), MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    HWND menu = nullptr;
    const bool opened =
        WaitUntil([&] { return (menu = ::FindWindowW(L"#32768", nullptr)) && ::IsWindowVisible(menu); }, 10000);
    Record(L"menu\t" + std::to_wstring(opened ? 1 : 0));
    if (!opened) return;
    ::GetWindowRect(menu, &place);
    ClickAt({place.left + 20, place.bottom - 10}, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
}

std::wstring ControlText(HWND window, int id) {
    wchar_t text[256] = {};
    ::GetDlgItemTextW(window, id, text, 256);
    return text;
}

void Drag(HWND window, int dx, int dy) {
    BringToTop(window);
    POINT start{20, 60};  // background, away from every control
    ::ClientToScreen(window, &start);
    MouseTo(start);
    MouseTo(start, MOUSEEVENTF_LEFTDOWN);
    for (int step = 1; step <= 10; ++step) MouseTo({start.x + dx * step / 10, start.y + dy * step / 10});
    MouseTo({start.x + dx, start.y + dy}, MOUSEEVENTF_LEFTUP);
    ::Sleep(300);
    RecordPlacement(window);
}

void Click(HWND window, int id) {
    BringToTop(window);
    RECT place{};
    ::GetWindowRect(::GetDlgItem(window, id), &place);
    const POINT middle{(place.left + place.right) / 2, (place.top + place.bottom) / 2};
    MouseTo(middle);  // the button's hover picture comes with the second move
    ClickAt(middle, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    for (int i = 0; i < 40 && !::IsIconic(window); ++i) ::Sleep(50);
    Record(L"iconic\t" + std::to_wstring(::IsIconic(window) ? 1 : 0));
}

bool WaitForPercent(HWND window, int low, int high) {
    for (DWORD waited = 0; waited < kWaitMs && ::IsWindow(window); waited += 20) {
        const std::wstring label = Label(window);
        const long percent = nm::text::ToLong(label);
        if (!label.empty() && percent > low && percent < high) {
            Record(L"label\t" + label);
            return true;
        }
        ::Sleep(20);
    }
    return false;
}

void Watch(HWND window) {
    std::wstring last;
    while (::IsWindow(window)) {
        const std::wstring label = Label(window);
        if (!label.empty() && label != last) Record(L"label\t" + (last = label));
        ::Sleep(20);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argc < 4) return 2;
    g_record = argv[2];
    Record(L"screen" + Numbers({::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}));
    if (std::wstring(argv[3]) == L"trayempty" && argc > 4) {
        // Wine hides its own tray window when its last icon is removed.
        const bool empty =
            WaitUntil([] { return !VisibleWindowOfClass(L"__winex11_standalone_tray"); }, _wtoi(argv[4]));
        Record(L"trayempty\t" + std::to_wstring(empty ? 1 : 0));
        return 0;
    }
    if (std::wstring(argv[3]) == L"absent" && argc > 4) {
        const bool shown = FindWindowCaptioned(argv[1], true, _wtoi(argv[4])) != nullptr;
        Record(L"shown\t" + std::to_wstring(shown ? 1 : 0));
        return 0;
    }
    HWND window = FindWindowCaptioned(argv[1], false);
    if (!window) {
        Record(L"timeout\twait");
        return 1;
    }
    const auto number = [&](int i) { return i < argc ? _wtoi(argv[i]) : 0; };
    for (int i = 3; i < argc; ++i) {
        const std::wstring command = argv[i];
        bool done = true;
        if (command == L"wait") {
            done = WaitUntil([&] { return ::IsWindowVisible(window) != FALSE; });
            if (done) RecordPlacement(window);
        } else if (command == L"until" && i + 2 < argc) {
            done = WaitForPercent(window, number(i + 1), number(i + 2));
            i += 2;
        } else if (command == L"drag" && i + 2 < argc) {
            Drag(window, number(i + 1), number(i + 2));
            i += 2;
        } else if (command == L"click" && i + 1 < argc) {
            Click(window, number(++i));
        } else if (command == L"press" && i + 1 < argc) {
            ::SendMessageW(::GetDlgItem(window, number(++i)), BM_CLICK, 0, 0);
        } else if (command == L"close") {
            ::PostMessageW(window, WM_CLOSE, 0, 0);
        } else if (command == L"watch") {
            Watch(window);
        } else if (command == L"text" && i + 2 < argc) {
            const int id = number(i + 1);
            const std::wstring wanted = argv[i + 2];
            done = WaitUntil([&] { return wanted == L"-" || ControlText(window, id) == wanted; });
            Record(L"text" + Numbers({id}) + L"\t" + ControlText(window, id));
            i += 2;
        } else if (command == L"hover" && i + 2 < argc) {
            MouseTo(ClientPoint(window, number(i + 1), number(i + 2)));
            MouseTo(ClientPoint(window, number(i + 1), number(i + 2)));
            i += 2;
        } else if (command == L"look" && i + 4 < argc) {
            Look(window, {number(i + 1), number(i + 2), number(i + 3), number(i + 4)});
            i += 4;
        } else if (command == L"hidden" || command == L"gone") {
            done = WaitUntil([&] { return command == L"gone" ? !::IsWindow(window) : !::IsWindowVisible(window); });
            if (done) Record(command);
        } else if (command == L"traymenu") {
            ChooseLastTrayMenuItem();
        } else {
            return 2;
        }
        if (!done) {
            Record(L"timeout\t" + command);
            return 1;
        }
    }
    return 0;
}
