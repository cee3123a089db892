// Shows a message box translated by a table built into novamend.exe (154
// simplified, 153 traditional Chinese), for a screenshot on a system whose
// code page is neither 936 nor 950:
//   language_messagebox REPORT_FILE TABLE_ID
// Once the box is up it writes REPORT_FILE (UTF-8: the ANSI code page, the X
// display, the caption and the text the box shows), then closes the box when
// REPORT_FILE.close appears, or after two minutes.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <thread>

#include "base/file_ops.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "child_process.h"
#include "message_box_finder.h"
#include "services/language.h"
#include "test_files.h"

namespace {

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, 1024);
    return text;
}

void WriteUtf8(const std::wstring& path, const std::wstring& text) { nm::WriteFileBytes(path, nm::text::ToUtf8(text)); }

// Waits for the box, reports what it shows, and closes it when told to.
void WatchBox(std::wstring report, std::wstring caption) {
    HWND box = nullptr;
    for (int i = 0; i < 600 && !box; ++i) {
        box = nm::FindMessageBox(caption, ::GetCurrentProcessId());
        if (!box) ::Sleep(100);
    }
    if (!box) return;
    ::Sleep(500);  // let it paint
    wchar_t display[256] = {};
    ::GetEnvironmentVariableW(L"DISPLAY", display, 256);
    WriteUtf8(report + L".tmp", L"acp=" + std::to_wstring(::GetACP()) + L"\ndisplay=" + display + L"\ncaption=" +
                                    WindowText(box) + L"\ntext=" + WindowText(::GetDlgItem(box, 0xFFFF)) + L"\n");
    ::MoveFileW((report + L".tmp").c_str(), report.c_str());
    for (int i = 0; i < 1200 && !nm::files::Exists(report + L".close"); ++i) ::Sleep(100);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!arguments || count != 3) return 2;
    const std::wstring report = arguments[1];
    const int table = static_cast<int>(std::wcstol(arguments[2], nullptr, 10));
    ::LocalFree(arguments);

    nm::unique_hmodule program(::LoadLibraryExW(nm::TestProgramPath(L"novamend.exe").c_str(), nullptr,
                                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    nm::CLanguage language;
    if (!program || !language.LoadResource(table, program.get())) return 3;

    const std::wstring caption = language.Translate(L"MAIN", L"Novamend");
    const std::wstring message =
        nm::text::Format(language.Translate(L"MAIN", L"Found %d files need to update..."), {L"3"}) + L"\n" +
        language.Translate(L"MAIN", L"request administrator privileges to continue");
    std::thread watcher(WatchBox, report, caption);
    ::MessageBoxW(nullptr, message.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
    watcher.join();
    return nm::files::Exists(report) ? 0 : 4;
}
