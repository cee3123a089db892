#include "app/host_windows.h"

#include <algorithm>

namespace nm {

struct HostRegistry::Host {};

void HostRegistry::Register(HWND window) { windows_.push_back(window); }
void HostRegistry::ReleaseAll() { windows_.clear(); }
bool HostRegistry::IsRegistered(HWND window) const {
    return std::find(windows_.begin(), windows_.end(), window) != windows_.end();
}
void HostRegistry::NotifyState(int, long) {}
void HostRegistry::NotifyLog(const std::wstring&) {}
void HostRegistry::NotifyDownloaded(long, long) {}
void HostRegistry::NotifyDescription(const std::wstring&) {}
void HostRegistry::NotifyFileBytes(LONGLONG, LONGLONG) {}
void HostRegistry::SendStatusText(HWND, const std::wstring&, LPARAM) {}
void ShowStatusText(HWND, const std::wstring&, LPARAM) {}

}  // namespace nm
