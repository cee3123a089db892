#include "app/update_cycle.h"

#include "app/unavailable.h"
#include "app/update_app.h"
#include "app/update_state.h"

namespace nm {

namespace {
// The check step arrives with the list reader; until then the cycle's first
// step ends in its error state.
void CheckWrapper(HWND) {
    SetUpdateState(UpdateCheckRemote, nullptr);
    LogUnavailable(L"The check for updates");
    SetUpdateState(UpdateCheckRemoteError, nullptr);
    theApp().list.RemoveAll();
}
}  // namespace

long RunCheckOnlyCycle(HWND owner) {
    if (CurrentUpdateState() < UpdateCheckRemoteOk) CheckWrapper(owner);
    return theApp().list.FileCount();
}

void RunCheckWithoutWindow() { CheckWrapper(nullptr); }

void RunDialogCycle(HWND owner) {
    theApp().variables.Append(L"updatetm", L"8");
    LogUnavailable(L"The progress window");
}

bool RunUnattendedCycle(HWND host) {
    theApp().variables.Set(L"updatetm", L"1");
    if (CurrentUpdateState() < UpdateCheckRemoteOk) CheckWrapper(host);
    SetUpdateState(UpdateEnd, nullptr);
    return true;
}

bool RunApplicationEntryCycle(const std::wstring&) {
    theApp().variables.Set(L"updatetm", L"2");
    if (CurrentUpdateState() < UpdateCheckRemoteOk) CheckWrapper(nullptr);
    SetUpdateState(UpdateEnd, nullptr);
    return false;
}

void RunUninstall() { LogUnavailable(L"Uninstall"); }

}  // namespace nm
