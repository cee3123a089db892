// portable: builds without Win32
#pragma once
// What the fuzz targets share: the input as bytes, as text, and a failure
// that stops the run with the input kept.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace nm::fuzz {

inline std::string_view Bytes(const std::uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Each byte as one character, so every input is some text.
inline std::wstring Latin1(std::string_view bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    for (char c : bytes) text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return text;
}

// A property that must hold for every input.
inline void Require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "fuzz property broken: %s\n", what);
    std::abort();
}

}  // namespace nm::fuzz
