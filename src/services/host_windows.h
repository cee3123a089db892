#pragma once
// The host windows that follow the update through window messages: state
// changes (1974), log lines (1975), download progress (1976, 1978), the
// list's description (1977) and status texts (1040).
#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "services/window_messages.h"

namespace nm {

// The value of a window property that means "on".
constexpr UINT_PTR kPropertyOn = NOVAMEND_ON;

// Window properties exchanged with hosts.
inline constexpr wchar_t kNeedMessagesProperty[] = NOVAMEND_PROP_NEED_MESSAGES;
inline constexpr wchar_t kPausedProperty[] = NOVAMEND_PROP_PAUSED;
inline constexpr wchar_t kExitWhenClosedProperty[] = NOVAMEND_PROP_EXIT_WHEN_CLOSED;
inline constexpr wchar_t kStateProperty[] = NOVAMEND_PROP_STATE;
inline constexpr wchar_t kFileCountProperty[] = NOVAMEND_PROP_FILE_COUNT;

// True when the window holds the property at kPropertyOn.
bool PropertyIsOn(HWND window, const wchar_t* name);

// Used from every thread: the list is copied under a lock and the messages
// are sent without it, so a window that answers by sending a status text
// itself cannot dead-lock the sender.
class HostRegistry {
public:
    HostRegistry() = default;
    HostRegistry(const HostRegistry&) = delete;
    HostRegistry& operator=(const HostRegistry&) = delete;
    ~HostRegistry() { ReleaseAll(); }

    // Opens the window's process and commits its text buffer there; the
    // window is registered even when that fails (its texts then carry 0).
    void Register(HWND window);
    // The updater's own window stops following the update before it closes.
    void Unregister(HWND window);
    void ReleaseAll();
    std::vector<HWND> Windows() const;
    bool IsRegistered(HWND window) const;
    // Whether a text buffer could be committed in the window's process.
    bool HasRemoteBuffer(HWND window) const;

    // 1974 to the windows that asked, then "novamend.exe" and "updatefilecount" on all.
    void NotifyState(int code, long file_count);
    void NotifyLog(const std::wstring& text);
    void NotifyDownloaded(long counter, long file_count);
    void NotifyDescription(const std::wstring& text);
    void NotifyFileBytes(LONGLONG size, LONGLONG received);
    // 1040 to a registered window, through its remote buffer.
    void SendStatusText(HWND window, const std::wstring& text, LPARAM value);

    // Any registered host holding "novamend.paused" at 1974.
    bool AnyPaused();
    // A host that asked for "novamend.exitwhenwndkilled" (seen while its
    // window still existed) and whose window is gone now.
    bool AnyAskedToExitAndGone();

private:
    struct Host;
    std::vector<std::shared_ptr<Host>> Snapshot() const;
    std::shared_ptr<Host> Find(HWND window) const;
    void SendText(Host& host, UINT message, const std::wstring& text, LPARAM value);

    mutable std::mutex lock_;
    std::vector<std::shared_ptr<Host>> hosts_;  // in registration order
};

// Status text: message 1040 to the window (a registered one through its
// remote buffer, the updater's own directly) and to every host window.
void ShowStatusText(HWND window, const std::wstring& text, LPARAM value = 0);

// For the unattended cycle's wait between steps, over the application's hosts.
bool HostIsPaused();
bool HostAskedToExitAndIsGone();

}  // namespace nm
