#pragma once
// Polling for something another process or thread does.
#include <windows.h>

namespace nm {

template <typename Condition>
bool WaitFor(Condition condition, DWORD limit_ms = 20000) {
    for (DWORD waited = 0; waited < limit_ms; waited += 20) {
        if (condition()) return true;
        ::Sleep(20);
    }
    return condition();
}

}  // namespace nm
