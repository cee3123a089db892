// portable: builds without Win32
#include "services/host_text.h"

#include "base/text.h"

namespace nm::host_text {

std::wstring WithoutZipProcessMarker(std::wstring_view text) { return text::ReplaceAll(text, kZipProcessMarker, L""); }

std::wstring CutToRemoteBuffer(std::wstring_view text) {
    if (text.size() <= kMaxCharacters) return std::wstring(text);
    std::size_t length = kMaxCharacters;
    // A lone high surrogate at the end would make the host's text invalid.
    const wchar_t last = text[length - 1];
    if (last >= 0xD800 && last <= 0xDBFF) --length;
    return std::wstring(text.substr(0, length));
}

std::wstring ForHost(std::wstring_view text, std::wstring_view application_directory, bool status_text) {
    std::wstring prepared = status_text ? WithoutZipProcessMarker(text) : std::wstring(text);
    prepared = text::ReplaceAll(prepared, application_directory, L"");
    return CutToRemoteBuffer(prepared);
}

}  // namespace nm::host_text
