// demoapp: the main application of the demo and of the scenarios. At every
// start it appends "started, version <v>" to demoapp.log beside itself, where
// <v> is the content of demoapp.ver beside it, so an update of that file is
// visible in what the restarted program says. With /stay it keeps a window
// open until it is closed.
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

std::wstring OwnDirectory() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L'\\') + 1);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int) {
    const std::wstring dir = OwnDirectory();
    std::ifstream version_file((dir + L"demoapp.ver").c_str(), std::ios::binary);
    std::string version((std::istreambuf_iterator<char>(version_file)), std::istreambuf_iterator<char>());
    while (!version.empty() && (version.back() == '\n' || version.back() == '\r')) version.pop_back();
    std::ofstream((dir + L"demoapp.log").c_str(), std::ios::binary | std::ios::app)
        << "started, version " << (version.empty() ? "unknown" : version) << "\r\n";

    if (std::wstring(command_line).find(L"/stay") == std::wstring::npos) return 0;
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = instance;
    window_class.lpszClassName = L"NovamendDemoApp";
    RegisterClassW(&window_class);
    CreateWindowW(L"NovamendDemoApp", L"Novamend demo application", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 320,
                  120, nullptr, nullptr, instance, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}
