#pragma once
// How the unattended cycle waits for its host between steps: it holds while
// the host's "novamend.paused" is on, and gives up once a host that asked
// for "novamend.exitwhenwndkilled" has closed its window.
#include <windows.h>

namespace nm {

class HostWait {
public:
    explicit HostWait(HWND host) : host_(host) { Remember(); }
    // False when the cycle is to be abandoned.
    bool BetweenSteps();

private:
    // A closed window has no properties left, so the request is noted while it exists.
    void Remember();

    HWND host_;
    bool exit_when_killed_ = false;
};

}  // namespace nm
