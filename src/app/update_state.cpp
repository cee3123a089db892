#include "app/update_state.h"

#include "app/update_app.h"
#include "install/run_file.h"

namespace nm {

std::wstring UpdateStateName(int code) {
    static const wchar_t* const kNames[] = {
        L"UpdateNone", L"UpdateCheckRemote", L"UpdateCheckRemoteError", L"UpdateCheckRemoteOk",
        L"UpdateDownload", L"UpdateDownloadError", L"UpdateDownloadOk", L"UpdateCheckLocal",
        L"UpdateCheckLocalError", L"UpdateCheckLocalOk", L"UpdateCopy", L"UpdateCopyError",
        L"UpdateCopyOk", L"UpdateEnd",
    };
    return code >= 0 && code <= UpdateEnd ? kNames[code] : L"";
}

void SetUpdateState(int code, HWND window) {
    CUpdateApp& app = theApp();
    app.hosts.NotifyState(code, app.list.FileCount());
    app.list.update_state = code;
    const std::wstring name = UpdateStateName(code);
    if (!name.empty()) RunEventPrograms(name, window);
}

void RunEventPrograms(const std::wstring& key, HWND window) {
    Settings& settings = theApp().settings;
    std::wstring program = settings.Read(L"UpdateEvent", key);
    if (!program.empty()) RunFile(program, window, false);
    program = settings.Read(L"UpdateEventWaitClose", key);
    if (!program.empty()) RunFile(program, window, true);
}

int CurrentUpdateState() { return theApp().list.update_state; }

}  // namespace nm
