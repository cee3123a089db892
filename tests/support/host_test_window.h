#pragma once
// A window of the test process that records the updater's messages the way a
// host does: texts are read at the address the message carries.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace nm::testing {

struct ReceivedMessage {
    UINT message = 0;
    WPARAM wparam = 0;
    LPARAM lparam = 0;
    bool has_text = false;    // the address was not 0
    bool terminated = false;  // a zero came before the end of readable memory
    std::wstring text;
    bool changed_while_read = false;  // set by a test that reads twice
};

inline ReceivedMessage MessageWithoutText(UINT message, WPARAM wparam, LPARAM lparam) {
    ReceivedMessage received;
    received.message = message;
    received.wparam = wparam;
    received.lparam = lparam;
    return received;
}

// Reads a text at an address of this process, never past its readable memory.
inline ReceivedMessage ReadTextMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    ReceivedMessage received = MessageWithoutText(message, wparam, lparam);
    if (!wparam) return received;
    received.has_text = true;
    const auto* start = reinterpret_cast<const wchar_t*>(wparam);
    MEMORY_BASIC_INFORMATION region = {};
    if (!::VirtualQuery(start, &region, sizeof(region)) || region.State != MEM_COMMIT) return received;
    const auto* end =
        reinterpret_cast<const wchar_t*>(static_cast<const char*>(region.BaseAddress) + region.RegionSize);
    const wchar_t* p = start;
    while (p < end && *p) ++p;
    received.terminated = p < end;
    received.text.assign(start, p);
    return received;
}

// A message-only window: it needs no display, and belongs to this process and thread.
class RecordingWindow {
public:
    RecordingWindow() {
        static const ATOM window_class = [] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = Proc;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.lpszClassName = L"NovamendRecordingWindow";
            return ::RegisterClassW(&wc);
        }();
        window_ = ::CreateWindowExW(0, MAKEINTATOM(window_class), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;
    ~RecordingWindow() { Destroy(); }

    HWND get() const { return window_; }
    void SetProperty(const wchar_t* name, UINT_PTR value) {
        ::SetPropW(window_, name, reinterpret_cast<HANDLE>(value));
    }
    UINT_PTR Property(const wchar_t* name) const { return reinterpret_cast<UINT_PTR>(::GetPropW(window_, name)); }
    // As a well-behaved host does, the properties go before the window.
    void Destroy() {
        if (!window_) return;
        for (const wchar_t* name : {L"novamend.needmsg", L"novamend.paused", L"novamend.exitwhenwndkilled",
                                    L"novamend.exe", L"updatefilecount"})
            ::RemovePropW(window_, name);
        ::DestroyWindow(std::exchange(window_, nullptr));
    }

    std::vector<ReceivedMessage> received;
    // Called while a text message is processed, before returning to the sender.
    void (*while_processing)(ReceivedMessage&) = nullptr;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        auto* self = reinterpret_cast<RecordingWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        const bool text_message = message == 1975 || message == 1977 || message == 1040;
        const bool number_message = message == 1974 || message == 1976 || message == 1978;
        if (self && (text_message || number_message)) {
            ReceivedMessage received =
                text_message ? ReadTextMessage(message, wparam, lparam) : MessageWithoutText(message, wparam, lparam);
            if (self->while_processing) self->while_processing(received);
            self->received.push_back(std::move(received));
            return 0;
        }
        return ::DefWindowProcW(window, message, wparam, lparam);
    }

    HWND window_ = nullptr;
};

}  // namespace nm::testing
