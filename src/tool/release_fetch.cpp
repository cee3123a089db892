#include "tool/release_fetch.h"

#include <windows.h>

#include <vector>

#include "base/system_error.h"
#include "base/unique_handle.h"
#include "download/http_session.h"
#include "services/process_services.h"

namespace nm::tool {

ReleaseFetch::ReleaseFetch(const std::wstring& settings_file) : settings_file_(settings_file) {
    // The session reads the proxy from the application directory's settings.
    const size_t folder = settings_file.find_last_of(L"\\/");
    Services().settings.SetApplicationDirectory(folder == std::wstring::npos ? L"." : settings_file.substr(0, folder));
}

std::wstring ReleaseFetch::ToFile(const std::wstring& url, const std::wstring& file) const {
    unique_hinternet session = OpenSession(L"novamend-tool verify");
    if (!session) return SystemReason(::GetLastError());
    unique_hinternet request = OpenRequest(session.get(), url, L"", kFileRequestFlags);
    if (!request) return SystemReason(::GetLastError());
    const std::int64_t status = ReadAnswer(request.get()).status;
    if (status != 200) return transfer::HttpStatusReason(status);
    unique_hfile out(
        ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return L" (cannot write " + file + L")";
    std::vector<char> block(64 * 1024);
    for (;;) {
        DWORD read = 0, written = 0;
        if (!::InternetReadFile(request.get(), block.data(), static_cast<DWORD>(block.size()), &read))
            return L" (the body broke off" + SystemReason(::GetLastError()) + L")";
        if (read == 0) return {};
        if (!::WriteFile(out.get(), block.data(), read, &written, nullptr) || written != read)
            return L" (cannot write " + file + L")";
    }
}

}  // namespace nm::tool
