// demoapp: the main application of the demo and of the scenarios. At every
// start it appends "started, version <v>" to demoapp.log beside itself, where
// <v> is the content of demoapp.ver beside it, so an update of that file is
// visible in what the restarted program says. With /stay it keeps a window
// open until it is closed, noting "asked to end" when the session-end query
// comes. /refuse makes it refuse that query; /hold=<file> keeps that file
// (beside it, or at a full path) open without sharing while it runs.
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

#include "base/unique_handle.h"

namespace {

bool refuses_to_end = false;

std::wstring OwnDirectory() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L'\\') + 1);
}

void Note(const std::string& line) {
    std::ofstream((OwnDirectory() + L"demoapp.log").c_str(), std::ios::binary | std::ios::app) << line << "\r\n";
}

std::wstring Option(const std::wstring& command_line, const std::wstring& name) {
    const size_t at = command_line.find(name + L"=");
    if (at == std::wstring::npos) return {};
    const size_t start = at + name.size() + 1;
    return command_line.substr(start, command_line.find(L' ', start) - start);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_QUERYENDSESSION) {
        Note("asked to end");
        return refuses_to_end ? FALSE : TRUE;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line_text, int) {
    const std::wstring command_line = command_line_text;
    const std::wstring dir = OwnDirectory();
    std::ifstream version_file((dir + L"demoapp.ver").c_str(), std::ios::binary);
    std::string version((std::istreambuf_iterator<char>(version_file)), std::istreambuf_iterator<char>());
    version_file.close();
    while (!version.empty() && (version.back() == '\n' || version.back() == '\r')) version.pop_back();
    Note("started, version " + (version.empty() ? std::string("unknown") : version));

    if (command_line.find(L"/stay") == std::wstring::npos) return 0;
    refuses_to_end = command_line.find(L"/refuse") != std::wstring::npos;
    nm::unique_hfile held;
    if (const std::wstring hold = Option(command_line, L"/hold"); !hold.empty())
        held.reset(::CreateFileW((hold.find(L':') == std::wstring::npos ? dir + hold : hold).c_str(),
                                 GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = instance;
    window_class.lpszClassName = L"NovamendDemoApp";
    RegisterClassW(&window_class);
    CreateWindowW(L"NovamendDemoApp", L"Novamend demo application", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 320, 120,
                  nullptr, nullptr, instance, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}
