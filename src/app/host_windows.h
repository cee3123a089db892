#pragma once
// The host windows that follow the update through window messages: state
// changes (1974), log lines (1975), download progress (1976, 1978), the
// list's description (1977) and status texts (1040).
#include <windows.h>

#include <string>
#include <vector>

namespace nm {

constexpr UINT UM_STATUSTEXT = 1040;
constexpr UINT UM_HOST_STATE = 1974;
constexpr UINT UM_HOST_LOG = 1975;
constexpr UINT UM_HOST_DOWNLOADED = 1976;
constexpr UINT UM_HOST_DESCRIPTION = 1977;
constexpr UINT UM_HOST_FILEBYTES = 1978;
// The value of a window property that means "on".
constexpr UINT_PTR kPropertyOn = 1974;

class HostRegistry {
public:
    HostRegistry() = default;
    HostRegistry(const HostRegistry&) = delete;
    HostRegistry& operator=(const HostRegistry&) = delete;
    ~HostRegistry() { ReleaseAll(); }

    void Register(HWND window);
    void ReleaseAll();
    std::vector<HWND> Windows() const { return windows_; }
    bool IsRegistered(HWND window) const;

    // 1974 to the windows that asked, then "novamend.exe" and "updatefilecount" on all.
    void NotifyState(int code, long file_count);
    void NotifyLog(const std::wstring& text);
    void NotifyDownloaded(long counter, long file_count);
    void NotifyDescription(const std::wstring& text);
    void NotifyFileBytes(LONGLONG size, LONGLONG received);
    // 1040 to a registered window, through its remote buffer.
    void SendStatusText(HWND window, const std::wstring& text, LPARAM value);

private:
    struct Host;
    std::vector<HWND> windows_;
    std::vector<Host*> hosts_;
};

// Status text: message 1040 to the window (a registered one through its
// remote buffer, the updater's own directly) and to every host window.
void ShowStatusText(HWND window, const std::wstring& text, LPARAM value = 0);

}  // namespace nm
