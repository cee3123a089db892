#include "base/system_error.h"

#include "base/last_error.h"
#include "base/text.h"

namespace nm {

std::wstring SystemReason(DWORD error) {
    if (error == ERROR_SUCCESS) return {};
    wchar_t* message = nullptr;
    // The Internet functions' errors have their texts in their own library.
    constexpr DWORD kFirstInternetError = 12000, kLastInternetError = 12999;
    HMODULE internet =
        error >= kFirstInternetError && error <= kLastInternetError ? ::GetModuleHandleW(L"wininet.dll") : nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                              (internet ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM) |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          internet, error, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::wstring text = length ? text::Trim(std::wstring_view(message, length)) : std::wstring();
    if (message) ::LocalFree(message);
    return L" (error " + std::to_wstring(error) + (text.empty() ? L")" : L": " + text + L")");
}

std::wstring LastSystemReason() { return SystemReason(::GetLastError()); }

}  // namespace nm
