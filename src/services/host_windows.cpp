#include "services/host_windows.h"

#include <algorithm>
#include <atomic>

#include "base/unique_handle.h"
#include "services/host_text.h"
#include "services/process_services.h"

namespace nm {

namespace {

// What the updater does in a host process: commit, write, release its buffers.
constexpr DWORD kHostProcessRights =
    PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION;

// Data only: the host reads it, nothing there is ever run.
unique_remote_memory CommitIn(HANDLE process, SIZE_T bytes) {
    if (!process) return {};
    void* address = ::VirtualAllocEx(process, nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    return unique_remote_memory(process, address);
}

void SetNumberProperty(HWND window, const wchar_t* name, LONG_PTR value) {
    ::SetPropW(window, name, reinterpret_cast<HANDLE>(value));
}

}  // namespace

bool PropertyIsOn(HWND window, const wchar_t* name) {
    return reinterpret_cast<UINT_PTR>(::GetPropW(window, name)) == kPropertyOn;
}

struct HostRegistry::Host {
    HWND window = nullptr;
    unique_handle process;        // declared before the buffer: it outlives it
    unique_remote_memory buffer;  // host_text::kRemoteBufferBytes, reused for every text
    std::mutex buffer_lock;       // one text in the shared buffer at a time
    std::atomic<bool> asked_exit_when_closed{false};

    bool WantsMessages() const { return PropertyIsOn(window, kNeedMessagesProperty); }
    // The property cannot be read once the window is gone, so it is kept
    // whenever it is seen.
    void RememberExitRequest() {
        if (::IsWindow(window) && PropertyIsOn(window, kExitWhenClosedProperty)) asked_exit_when_closed = true;
    }
};

void HostRegistry::Register(HWND window) {
    if (!window || IsRegistered(window)) return;
    auto host = std::make_shared<Host>();
    host->window = window;
    DWORD process_id = 0;
    ::GetWindowThreadProcessId(window, &process_id);
    if (process_id) host->process.reset(::OpenProcess(kHostProcessRights, FALSE, process_id));
    host->buffer = CommitIn(host->process.get(), host_text::kRemoteBufferBytes);
    host->RememberExitRequest();
    std::lock_guard guard(lock_);
    for (const auto& registered : hosts_)
        if (registered->window == window) return;  // registered meanwhile by another thread
    hosts_.push_back(std::move(host));
}

void HostRegistry::Unregister(HWND window) {
    std::shared_ptr<Host> released;  // a sender still holding it finishes first
    std::lock_guard guard(lock_);
    for (auto it = hosts_.begin(); it != hosts_.end(); ++it)
        if ((*it)->window == window) {
            released = std::move(*it);
            hosts_.erase(it);
            return;
        }
}

void HostRegistry::ReleaseAll() {
    std::vector<std::shared_ptr<Host>> released;
    {
        std::lock_guard guard(lock_);
        released.swap(hosts_);
    }
    // Buffers are released before their process handles (member order);
    // a sender still holding a host finishes with it first.
}

std::vector<std::shared_ptr<HostRegistry::Host>> HostRegistry::Snapshot() const {
    std::lock_guard guard(lock_);
    return hosts_;
}

std::shared_ptr<HostRegistry::Host> HostRegistry::Find(HWND window) const {
    std::lock_guard guard(lock_);
    for (const auto& host : hosts_)
        if (host->window == window) return host;
    return nullptr;
}

std::vector<HWND> HostRegistry::Windows() const {
    std::vector<HWND> windows;
    for (const auto& host : Snapshot()) windows.push_back(host->window);
    return windows;
}

bool HostRegistry::IsRegistered(HWND window) const { return Find(window) != nullptr; }

bool HostRegistry::HasRemoteBuffer(HWND window) const {
    const auto host = Find(window);
    return host && host->buffer.get();
}

void HostRegistry::SendText(Host& host, UINT message, const std::wstring& text, LPARAM value) {
    // Another thread may be using the shared buffer: then this text gets a
    // buffer of its own rather than overwriting one the host is still reading.
    std::unique_lock guard(host.buffer_lock, std::try_to_lock);
    unique_remote_memory own_buffer;
    void* address = nullptr;
    if (guard.owns_lock()) {
        address = host.buffer.get();
    } else {
        own_buffer = CommitIn(host.process.get(), host_text::kRemoteBufferBytes);
        address = own_buffer.get();
    }
    if (address) {
        std::vector<wchar_t> block(host_text::kRemoteBufferBytes / sizeof(wchar_t), L'\0');
        std::copy_n(text.begin(), std::min(text.size(), host_text::kMaxCharacters), block.begin());
        // Sent even when the write fails: the host still learns that something happened.
        ::WriteProcessMemory(host.process.get(), address, block.data(), host_text::kRemoteBufferBytes, nullptr);
    }
    host.RememberExitRequest();
    ::SendMessageW(host.window, message, reinterpret_cast<WPARAM>(address), value);
}

void HostRegistry::NotifyState(int code, long file_count) {
    const auto hosts = Snapshot();
    for (const auto& host : hosts) {
        host->RememberExitRequest();
        if (host->WantsMessages()) ::SendMessageW(host->window, UM_HOST_STATE, code, file_count);
    }
    for (const auto& host : hosts) {
        SetNumberProperty(host->window, kStateProperty, code);
        SetNumberProperty(host->window, kFileCountProperty, file_count);
    }
}

void HostRegistry::NotifyLog(const std::wstring& text) {
    const auto hosts = Snapshot();
    if (hosts.empty()) return;
    const std::wstring prepared =
        host_text::ForHost(text, Services().settings.ApplicationDirectory(), /*status_text=*/false);
    for (const auto& host : hosts) SendText(*host, UM_HOST_LOG, prepared, 0);
}

void HostRegistry::NotifyDownloaded(long counter, long file_count) {
    for (const auto& host : Snapshot()) {
        host->RememberExitRequest();
        if (host->WantsMessages()) ::SendMessageW(host->window, UM_HOST_DOWNLOADED, counter, file_count);
    }
}

void HostRegistry::NotifyDescription(const std::wstring& text) {
    if (text.empty()) return;
    // The whole text with its terminating zero, in a buffer of its own.
    const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    for (const auto& host : Snapshot()) {
        host->RememberExitRequest();
        if (!host->WantsMessages()) continue;
        unique_remote_memory buffer = CommitIn(host->process.get(), bytes);
        if (buffer.get()) ::WriteProcessMemory(host->process.get(), buffer.get(), text.c_str(), bytes, nullptr);
        ::SendMessageW(host->window, UM_HOST_DESCRIPTION, reinterpret_cast<WPARAM>(buffer.get()), 0);
    }
}

void HostRegistry::NotifyFileBytes(LONGLONG size, LONGLONG received) {
    for (const auto& host : Snapshot())
        ::SendMessageW(host->window, UM_HOST_FILEBYTES, static_cast<WPARAM>(size), static_cast<LPARAM>(received));
}

void HostRegistry::SendStatusText(HWND window, const std::wstring& text, LPARAM value) {
    const auto host = Find(window);
    if (!host) return;
    SendText(*host, UM_STATUSTEXT,
             host_text::ForHost(text, Services().settings.ApplicationDirectory(), /*status_text=*/true), value);
}

bool HostRegistry::AnyPaused() {
    bool paused = false;
    for (const auto& host : Snapshot()) {
        host->RememberExitRequest();
        if (PropertyIsOn(host->window, kPausedProperty)) paused = true;
    }
    return paused;
}

bool HostRegistry::AnyAskedToExitAndGone() {
    for (const auto& host : Snapshot()) {
        host->RememberExitRequest();
        if (host->asked_exit_when_closed && !::IsWindow(host->window)) return true;
    }
    return false;
}

void ShowStatusText(HWND window, const std::wstring& text, LPARAM value) {
    HostRegistry& hosts = Services().hosts;
    if (window) {
        if (hosts.IsRegistered(window)) {
            hosts.SendStatusText(window, text, value);
        } else if (::IsWindow(window)) {
            // The updater's own window reads the text where it is; a window of
            // another process could not, so it gets no address.
            DWORD process_id = 0;
            ::GetWindowThreadProcessId(window, &process_id);
            const std::wstring own = host_text::WithoutZipProcessMarker(text);
            const WPARAM address = process_id == ::GetCurrentProcessId() ? reinterpret_cast<WPARAM>(own.c_str()) : 0;
            ::SendMessageW(window, UM_STATUSTEXT, address, value);
        }
    }
    for (HWND host : hosts.Windows())
        if (host != window) hosts.SendStatusText(host, text, value);
}

bool HostIsPaused() { return Services().hosts.AnyPaused(); }
bool HostAskedToExitAndIsGone() { return Services().hosts.AnyAskedToExitAndGone(); }

}  // namespace nm
