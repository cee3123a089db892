// answer_box: waits for a message box with a given caption, records its text
// and answers it, so scenarios can drive the updater's questions.
//   answer_box.exe <caption> <yes|no|cancel|ok> <record file> [timeout ms]
// Exit code 0 when a box was answered, 1 when none appeared in time.
#include <windows.h>

#include <cwchar>
#include <fstream>
#include <string>

#include "base/text.h"

namespace {

struct Search {
    std::wstring caption;
    HWND found = nullptr;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    wchar_t class_name[64] = {}, title[512] = {};
    GetClassNameW(window, class_name, 64);
    GetWindowTextW(window, title, 512);
    if (std::wstring(class_name) == L"#32770" && search->caption == title && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

int ButtonId(const std::wstring& answer) {
    if (answer == L"yes") return IDYES;
    if (answer == L"no") return IDNO;
    if (answer == L"cancel") return IDCANCEL;
    return IDOK;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 4) return 2;
    Search search{argv[1]};
    const DWORD timeout = argc > 4 ? static_cast<DWORD>(_wtoi(argv[4])) : 20000;
    for (DWORD waited = 0; !search.found && waited < timeout; waited += 50) {
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
        if (!search.found) Sleep(50);
    }
    if (!search.found) return 1;
    wchar_t text[4096] = {};
    GetDlgItemTextW(search.found, 0xFFFF, text, 4096);  // the message text of a message box
    std::ofstream(argv[3], std::ios::binary) << nm::text::ToUtf8(text);
    PostMessageW(search.found, WM_COMMAND, ButtonId(argv[2]), 0);
    return 0;
}
