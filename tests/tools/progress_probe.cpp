// progress_probe: finds the updater's progress window by its caption, reads
// its percent label and its placement, and works it with the real mouse.
//   progress_probe.exe <caption> <record file> <command>...
//     wait            wait for the window to show; record its placement
//     until LOW HIGH  wait until the label shows a percent above LOW and below HIGH
//     drag DX DY      press on the background, move by DX, DY, release; record the placement
//     click ID        click the middle of control ID; record whether the window is minimised
//     watch           record every new label text until the window is gone
// The record file (UTF-8, a line each, written as it happens):
//   window\t<left>\t<top>\t<width>\t<height>      on the screen
//   control\t<id>\t<x>\t<y>\t<width>\t<height>    in the window's client area, those not hidden
//   label\t<text>                                 trailing blanks cut
//   iconic\t<0|1>
//   timeout\t<command>                            and the exit code is 1
#include <windows.h>

#include <string>

#include "base/text.h"
#include "test_files.h"

namespace {

constexpr int kControls[] = {165, 166, 167, 170, 160};
constexpr DWORD kWaitMs = 120000;

std::wstring g_record;

void Record(const std::wstring& line) {
    nm::AppendFileBytes(g_record, nm::text::ToUtf8(line + L"\n"));
}

std::wstring Numbers(std::initializer_list<long> values) {
    std::wstring out;
    for (long value : values) out += L"\t" + std::to_wstring(value);
    return out;
}

HWND FindWindowCaptioned(const std::wstring& caption) {
    for (DWORD waited = 0; waited < kWaitMs; waited += 50) {
        HWND window = ::FindWindowW(L"#32770", caption.c_str());
        if (window && ::IsWindowVisible(window)) return window;
        ::Sleep(50);
    }
    return nullptr;
}

void RecordPlacement(HWND window) {
    RECT place{};
    ::GetWindowRect(window, &place);
    Record(L"window" + Numbers({place.left, place.top, place.right - place.left, place.bottom - place.top}));
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
    MouseTo(middle);
    MouseTo(middle);  // the button's hover picture comes with the second move
    MouseTo(middle, MOUSEEVENTF_LEFTDOWN);
    MouseTo(middle, MOUSEEVENTF_LEFTUP);
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
    HWND window = FindWindowCaptioned(argv[1]);
    if (!window) {
        Record(L"timeout\twait");
        return 1;
    }
    for (int i = 3; i < argc; ++i) {
        const std::wstring command = argv[i];
        if (command == L"wait") {
            RecordPlacement(window);
        } else if (command == L"until" && i + 2 < argc) {
            if (!WaitForPercent(window, _wtoi(argv[i + 1]), _wtoi(argv[i + 2]))) {
                Record(L"timeout\tuntil");
                return 1;
            }
            i += 2;
        } else if (command == L"drag" && i + 2 < argc) {
            Drag(window, _wtoi(argv[i + 1]), _wtoi(argv[i + 2]));
            i += 2;
        } else if (command == L"click" && i + 1 < argc) {
            Click(window, _wtoi(argv[++i]));
        } else if (command == L"watch") {
            Watch(window);
        } else {
            return 2;
        }
    }
    return 0;
}
