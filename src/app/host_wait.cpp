#include "app/host_wait.h"

#include "app/host_windows.h"

namespace nm {

void HostWait::Remember() {
    if (host_ && ::IsWindow(host_) &&
        reinterpret_cast<UINT_PTR>(::GetPropW(host_, L"novamend.exitwhenwndkilled")) == kPropertyOn)
        exit_when_killed_ = true;
}

bool HostWait::BetweenSteps() {
    if (!host_) return true;
    for (;;) {
        Remember();
        if (exit_when_killed_ && !::IsWindow(host_)) return false;
        if (reinterpret_cast<UINT_PTR>(::GetPropW(host_, L"novamend.paused")) != kPropertyOn) return true;
        ::Sleep(100);
    }
}

}  // namespace nm
