#include "base/code_page.h"

namespace nm::code_page {

std::wstring Decode(std::string_view bytes, UINT code_page) {
    if (bytes.empty()) return {};
    const int size = static_cast<int>(bytes.size());
    const int length = ::MultiByteToWideChar(code_page, 0, bytes.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(length, L'\0');
    ::MultiByteToWideChar(code_page, 0, bytes.data(), size, wide.data(), length);
    return wide;
}

std::string Encode(std::wstring_view text, UINT code_page) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(code_page, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string bytes(size, '\0');
    ::WideCharToMultiByte(code_page, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::optional<std::string> EncodeExactly(std::wstring_view text, UINT code_page) {
    std::string bytes = Encode(text, code_page);
    if (Decode(bytes, code_page) != text) return std::nullopt;
    return bytes;
}

}  // namespace nm::code_page
