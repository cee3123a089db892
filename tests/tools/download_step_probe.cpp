// download_step_probe: runs the download step in-process over a list and
// records what each call did, for the download scenarios.
//   download_step_probe.exe <application dir> <record file> <list file> <list url base> <calls>
//                           [<next list file> <calls>]
// The application directory holds the scenario's novamend.ini. After each
// call the record gets "call <n> state=<s> done=<count>" and then, per entry,
// "entry <i> <path>" followed by its message lines. A next list is worked on
// as a new cycle of the same process, as the tray runs them.
#include <windows.h>

#include <fstream>
#include <string>

#include "app/steps/download_step.h"
#include "app/update_app.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "list/update_list_reader.h"
#include "services/update_state.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc != 6 && argc != 8) return 2;
    nm::com_apartment com;
    nm::CUpdateApp& app = nm::theApp();
    app.settings.SetApplicationDirectory(std::wstring(argv[1]) + L"\\");
    if (!nm::ReadUpdateList(argv[3], app.list.entries, true, app.list)) return 3;
    app.list.list_url_base = argv[4];
    std::ofstream record(argv[2], std::ios::binary);
    int call = 0;
    for (int cycle_arg = 5; cycle_arg < argc; cycle_arg += 2) {
        if (cycle_arg > 5) {
            app.list.RemoveAll();
            if (!nm::ReadUpdateList(argv[cycle_arg - 1], app.list.entries, true, app.list)) return 3;
            nm::SetUpdateState(nm::UpdateCheckRemoteOk, nullptr);
        }
        for (int calls = _wtoi(argv[cycle_arg]); calls > 0; --calls) {
            nm::DownloadStep(app.context, nullptr);
            record << "call " << ++call << " state=" << nm::CurrentUpdateState()
                   << " done=" << app.context.download.finished << "\n";
            for (size_t i = 0; i < app.list.entries.size(); ++i)
                record << "entry " << i << " " << nm::text::ToUtf8(app.list.entries[i].path) << "\n"
                       << nm::text::ToUtf8(app.list.entries[i].message);
        }
    }
    return 0;
}
