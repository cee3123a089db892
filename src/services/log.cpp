#include "services/log.h"

#include "base/code_page.h"

#include <windows.h>

#include <cwchar>
#include <map>
#include <memory>
#include <mutex>

#include "base/text.h"
#include "base/unique_handle.h"
#include "base/system_lock.h"
#include "base/url_text.h"
#include "services/process_services.h"

namespace nm {

namespace {

std::wstring TimeStamp() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    wchar_t stamp[32];
    std::swprintf(stamp, std::size(stamp), L"[%04u-%02u-%02u %02u:%02u:%02u]", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
    return stamp;
}

// The updaters of one application (a process and the copy it started with
// raised rights, say) write one log file: they take turns by a lock named
// after that file, so updaters of other applications never wait on it.
SystemLock& LockOfLogFile(const std::wstring& path) {
    static std::mutex locks_lock;
    static std::map<std::wstring, std::unique_ptr<SystemLock>> locks;
    std::lock_guard guard(locks_lock);
    auto& lock = locks[path];
    if (!lock) lock = std::make_unique<SystemLock>(L"novamend.log." + ListDigest(text::Lower(path)));
    return *lock;
}

unique_hfile OpenForAppend(const std::wstring& path) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    unique_hfile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        file.reset(
            ::CreateFileW(path.c_str(), GENERIC_WRITE, share, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file;
}

}  // namespace

void WriteLog(const std::wstring& text) {
    ProcessServices& services = Services();
    services.hosts.NotifyLog(text);

    const std::wstring name = services.settings.LogName();
    if (name.empty()) return;

    const std::wstring path = text::CollapseSeparators(services.settings.ApplicationDirectory() + L"\\" + name);
    SystemLock& lock = LockOfLogFile(path);
    // Serialises writers of the log file, threads and processes alike.
    std::lock_guard guard(lock);
    const std::string line = code_page::Encode(TimeStamp() + text + L"\r\n");
    unique_hfile file = OpenForAppend(path);
    if (!file) return;
    LARGE_INTEGER end{};
    if (!::SetFilePointerEx(file.get(), end, nullptr, FILE_END)) return;
    DWORD written = 0;
    ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace nm
