// check_probe: runs the check step in-process with mirror addresses, as a
// version page would have supplied them, and records what it found.
//   check_probe.exe <application dir> <record file> <wait ms> <mirror>...
// The record holds "result=<0|1> files=<n> base=<list url base>". The probe
// waits before exiting so that slower mirrors finish and clean up.
#include <windows.h>

#include <fstream>
#include <string>

#include "app/steps/check_step.h"
#include "app/update_app.h"
#include "base/text.h"
#include "base/unique_handle.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 5) return 2;
    nm::com_apartment com;
    nm::CUpdateApp& app = nm::theApp();
    app.settings.SetApplicationDirectory(std::wstring(argv[1]) + L"\\");
    for (int i = 4; i < argc; ++i) app.list.mirror_addresses.push_back(argv[i]);
    const bool result = nm::CheckStep(app.context, nullptr);
    Sleep(static_cast<DWORD>(_wtoi(argv[3])));
    std::ofstream(argv[2]) << "result=" << result << " files=" << app.list.FileCount()
                           << " base=" << nm::text::ToUtf8(app.list.list_url_base);
    return 0;
}
