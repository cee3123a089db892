#include "base/window_iterator.h"

namespace nm {

BOOL CALLBACK CWindowIterator::Collect(HWND window, LPARAM self) {
    auto& iterator = *reinterpret_cast<CWindowIterator*>(self);
    if (iterator.windows_.size() >= iterator.capacity_) return FALSE;
    if (iterator.OnWindow(window)) iterator.windows_.push_back(window);
    return TRUE;
}

HWND CWindowIterator::First() {
    windows_.clear();
    current_ = 0;
    if (capacity_ > 0) ::EnumWindows(Collect, reinterpret_cast<LPARAM>(this));
    return Next();
}

HWND CWindowIterator::Next() { return current_ < windows_.size() ? windows_[current_++] : nullptr; }

bool CMainWindowIterator::OnWindow(HWND window) {
    if (!(::GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE)) return false;
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    return owner == process_id_;
}

}  // namespace nm
