#pragma once
// The host windows that follow the update through window messages.
#include <windows.h>

#include <vector>

namespace nm {

class HostRegistry {
public:
    void Register(HWND window) { windows_.push_back(window); }
    void ReleaseAll() { windows_.clear(); }

private:
    std::vector<HWND> windows_;
};

}  // namespace nm
