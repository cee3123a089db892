// answer_box: waits for a message box with a given caption, records its text
// and answers it, so scenarios can drive the updater's questions.
//   answer_box.exe <caption> <yes|no|cancel|retry|ok> <record file> [timeout ms] [owner process id]
// With an owner, only that process's boxes count.
// Exit code 0 when a box was answered, 1 when none appeared in time.
#include <windows.h>

#include <cwchar>
#include <string>

#include "base/text.h"
#include "message_box_finder.h"
#include "test_files.h"

namespace {

int ButtonId(const std::wstring& answer) {
    if (answer == L"yes") return IDYES;
    if (answer == L"no") return IDNO;
    if (answer == L"cancel") return IDCANCEL;
    if (answer == L"retry") return IDRETRY;
    return IDOK;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 4) return 2;
    const std::wstring caption = argv[1];
    const DWORD timeout = argc > 4 ? static_cast<DWORD>(_wtoi(argv[4])) : 20000;
    const DWORD owner = argc > 5 ? static_cast<DWORD>(_wtoi(argv[5])) : 0;
    HWND box = nullptr;
    for (DWORD waited = 0; !(box = nm::FindMessageBox(caption, owner)) && waited < timeout; waited += 50) Sleep(50);
    if (!box) return 1;
    wchar_t text[4096] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 4096);  // the message text of a message box
    nm::WriteFileBytes(argv[3], nm::text::ToUtf8(text));
    PostMessageW(box, WM_COMMAND, ButtonId(argv[2]), 0);
    return 0;
}
