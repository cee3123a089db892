// A host application for tests: one visible, captioned top-level window that
// records every updater message it receives.
//
//   test_host.exe <record file> <handle file> [options]
//     --needmsg            set "novamend.needmsg" to 1974 at start
//     --paused             set "novamend.paused" to 1974 at start
//     --exitwhenwndkilled  set "novamend.exitwhenwndkilled" to 1974 at start
//     --control <file>     a command file, polled every 50 ms
//     --close-after <ms>   close itself after that time
//
// The record file (UTF-8, appended, one line per message, in the order received):
//   1974\t<wparam>\t<lparam>          state code, file count
//   1975\t<text>                      log line
//   1976\t<wparam>\t<lparam>          download counter, file count
//   1977\t<text>                      description
//   1978\t<wparam>\t<lparam>          file size, bytes received
//   1040\t<lparam>\t<text>            status text and its value
//   props\t<novamend.exe>\t<updatefilecount>   on the "props" command and at close
// A text is read at the address the message carries, inside this process. An
// address of 0 is recorded as "(address 0)"; a text with no terminating zero
// before the end of its readable memory as "(unterminated)". Tabs, carriage
// returns and line feeds in texts are written as \t, \r and \n.
//
// The handle file receives the window handle in decimal once the window is
// shown (written to a temporary name, then renamed, so it is never seen half
// written).
//
// The command file holds one command a line: "pause" and "resume" set and
// clear "novamend.paused", "needmsg" and "noneedmsg" set and clear
// "novamend.needmsg", "props" records the properties, "close" records them,
// removes them and ends the program (the window goes with the process). The host takes the file by renaming it before
// it reads it, so a test writes it under another name and renames it into
// place; several commands in one file run in order.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "test_files.h"

namespace {

constexpr UINT_PTR kControlTimer = 1;
constexpr UINT_PTR kCloseTimer = 2;
constexpr UINT_PTR kOn = 1974;

std::wstring g_record_file;
std::wstring g_control_file;

void AppendRecord(const std::wstring& line) {
    nm::AppendFileBytes(g_record_file, nm::text::ToUtf8(line + L"\n"));
}

std::wstring Escaped(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\t') out += L"\\t";
        else if (c == L'\r') out += L"\\r";
        else if (c == L'\n') out += L"\\n";
        else out += c;
    }
    return out;
}

// The text at an address of this process, bounded by the memory that can be read there.
std::wstring TextAt(WPARAM address) {
    if (address == 0) return L"(address 0)";
    const auto* start = reinterpret_cast<const wchar_t*>(address);
    MEMORY_BASIC_INFORMATION region = {};
    if (!::VirtualQuery(start, &region, sizeof(region)) || region.State != MEM_COMMIT) return L"(unreadable)";
    const auto* end = reinterpret_cast<const wchar_t*>(static_cast<const char*>(region.BaseAddress) +
                                                       region.RegionSize);
    for (const wchar_t* p = start; p < end; ++p)
        if (*p == L'\0') return Escaped(std::wstring(start, p));
    return L"(unterminated)";
}

std::wstring Number(ULONG_PTR value) { return std::to_wstring(value); }

UINT_PTR Property(HWND window, const wchar_t* name) { return reinterpret_cast<UINT_PTR>(::GetPropW(window, name)); }

void SetOnOff(HWND window, const wchar_t* name, bool on) {
    ::SetPropW(window, name, reinterpret_cast<HANDLE>(on ? kOn : 0));
}

void RecordProperties(HWND window) {
    AppendRecord(L"props\t" + Number(Property(window, L"novamend.exe")) + L"\t" +
                 Number(Property(window, L"updatefilecount")));
}

void Forget(HWND window) {
    for (const wchar_t* name : {L"novamend.needmsg", L"novamend.paused", L"novamend.exitwhenwndkilled",
                                L"novamend.exe", L"updatefilecount"})
        ::RemovePropW(window, name);
}

// Ends the program with its window: the window goes with the process.
// Destroying a shown window would make Wine wait about 2 s for a window
// manager, which Xvfb does not have.
void Close(HWND window) {
    RecordProperties(window);
    Forget(window);
    ::PostQuitMessage(0);
}

void RunControlFile(HWND window) {
    if (g_control_file.empty()) return;
    const std::wstring taken = g_control_file + L".taken";
    if (!::MoveFileExW(g_control_file.c_str(), taken.c_str(), MOVEFILE_REPLACE_EXISTING)) return;
    const std::string bytes = nm::ReadFileBytes(taken);
    ::DeleteFileW(taken.c_str());
    for (const std::wstring& raw : nm::text::Split(nm::text::FromUtf8(bytes), L'\n')) {
        const std::wstring command = nm::text::Trim(raw);
        if (command == L"pause") SetOnOff(window, L"novamend.paused", true);
        else if (command == L"resume") SetOnOff(window, L"novamend.paused", false);
        else if (command == L"needmsg") SetOnOff(window, L"novamend.needmsg", true);
        else if (command == L"noneedmsg") SetOnOff(window, L"novamend.needmsg", false);
        else if (command == L"props") RecordProperties(window);
        else if (command == L"close") {
            Close(window);
            return;
        }
    }
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case 1974:
    case 1976:
    case 1978:
        AppendRecord(Number(message) + L"\t" + Number(wparam) + L"\t" + std::to_wstring(lparam));
        return 0;
    case 1975:
    case 1977:
        AppendRecord(Number(message) + L"\t" + TextAt(wparam));
        return 0;
    case 1040:
        AppendRecord(L"1040\t" + std::to_wstring(lparam) + L"\t" + TextAt(wparam));
        return 0;
    case WM_TIMER:
        if (wparam == kControlTimer) RunControlFile(window);
        if (wparam == kCloseTimer) Close(window);
        return 0;
    case WM_DESTROY:  // closed from outside, for example with WM_CLOSE
        Close(window);
        return 0;
    }
    return ::DefWindowProcW(window, message, wparam, lparam);
}

bool WriteHandleFile(const std::wstring& path, HWND window) {
    const std::wstring temporary = path + L".tmp";
    return nm::WriteFileBytes(temporary, std::to_string(reinterpret_cast<ULONG_PTR>(window))) &&
           ::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!arguments || count < 3) return 2;
    g_record_file = arguments[1];
    const std::wstring handle_file = arguments[2];
    bool need_messages = false, paused = false, exit_when_closed = false;
    UINT close_after = 0;
    for (int i = 3; i < count; ++i) {
        const std::wstring option = arguments[i];
        if (option == L"--needmsg") need_messages = true;
        else if (option == L"--paused") paused = true;
        else if (option == L"--exitwhenwndkilled") exit_when_closed = true;
        else if (option == L"--control" && i + 1 < count) g_control_file = arguments[++i];
        else if (option == L"--close-after" && i + 1 < count) close_after = static_cast<UINT>(_wtoi(arguments[++i]));
    }
    ::LocalFree(arguments);

    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = HostProc;
    window_class.hInstance = instance;
    window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = L"NovamendTestHost";
    if (!::RegisterClassW(&window_class)) return 3;
    HWND window = ::CreateWindowExW(0, window_class.lpszClassName, L"Novamend test host", WS_OVERLAPPEDWINDOW,
                                    CW_USEDEFAULT, CW_USEDEFAULT, 400, 200, nullptr, nullptr, instance, nullptr);
    if (!window) return 4;
    SetOnOff(window, L"novamend.needmsg", need_messages);
    SetOnOff(window, L"novamend.paused", paused);
    SetOnOff(window, L"novamend.exitwhenwndkilled", exit_when_closed);
    ::ShowWindow(window, SW_SHOWNORMAL);
    ::UpdateWindow(window);
    if (!g_control_file.empty()) ::SetTimer(window, kControlTimer, 50, nullptr);
    if (close_after) ::SetTimer(window, kCloseTimer, close_after, nullptr);
    if (!WriteHandleFile(handle_file, window)) return 5;

    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}
