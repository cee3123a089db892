// portable: builds without Win32
#pragma once
// How a text is prepared before it is copied into a host window's process.
#include <cstddef>
#include <string>
#include <string_view>

#define NOVAMEND_HOST_NUMBERS_ONLY
#include "novamend_host.h"
#undef NOVAMEND_HOST_NUMBERS_ONLY

namespace nm::host_text {

// The buffer committed in each host process, and the characters it carries
// before the terminating zero.
constexpr std::size_t kRemoteBufferBytes = NOVAMEND_TEXT_BUFFER_BYTES;
constexpr std::size_t kMaxCharacters = NOVAMEND_TEXT_MAX_CHARS;
static_assert(kMaxCharacters == kRemoteBufferBytes / 2 - 1);

// Status texts may carry this marker for the updater's own windows only.
inline constexpr std::wstring_view kZipProcessMarker = L"{zip}{process}";

std::wstring WithoutZipProcessMarker(std::wstring_view text);
// At most kMaxCharacters UTF-16 units; a surrogate pair is never split.
std::wstring CutToRemoteBuffer(std::wstring_view text);
// The text a registered host receives: for status texts without the marker,
// then without the application directory (so paths read relative to it),
// then cut to the remote buffer.
std::wstring ForHost(std::wstring_view text, std::wstring_view application_directory, bool status_text);

}  // namespace nm::host_text
