// portable: builds without Win32
#pragma once
// The arithmetic of a segmented transfer, kept apart from WinINet so that it
// can be checked natively: segment sizing, Range header text, progress
// clamping and the classification of a body read. Sizes are 64-bit: files
// over 2 GiB are cut and resumed like any other.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nm::transfer {

// Body reads and header buffers work in blocks of this many bytes.
constexpr int kBlockSize = 1024;
// No segment is smaller than this, so small files use one segment.
constexpr std::int64_t kMinimumSegmentSize = 51200;

// Three quarters of an even share, cut down to a multiple of 1024, at least
// 51200. Connections below 1 count as 1.
std::int64_t SegmentSize(std::int64_t file_size, int connections);
// Segments needed to cover the file: at least 1.
std::int64_t SegmentCount(std::int64_t file_size, std::int64_t segment_size);
// Length of segment `index`: the segment size, or what is left of the file.
std::int64_t SegmentLength(std::int64_t file_size, std::int64_t segment_size, std::int64_t index);

// "Range:bytes=%lld-" for a position above 0, empty otherwise.
std::wstring RangeHeader(std::int64_t position);

// A progress counter after adding delta: kept within 0 and the file size.
std::int64_t ClampProgress(std::int64_t current, std::int64_t delta, std::int64_t file_size);

// How a body read of `count` bytes is judged when `remaining` bytes of the
// segment are still expected.
enum class ReadOutcome { Good, Short, Empty };
ReadOutcome JudgeRead(std::int64_t count, std::int64_t remaining);

// The number of bytes to ask the network for when `remaining` bytes are
// expected: whole 1024-byte blocks up to `buffer_size`, so that cutting the
// answer into 1024-byte steps gives the same reads as reading block by block.
std::int64_t NetworkReadSize(std::int64_t remaining, std::int64_t buffer_size);

// Connection attempts allowed by a ConnectTryCount value: the value itself,
// at least one.
long ConnectionAttempts(long connect_try_count);

// A decimal header value as a number; text that is not a number gives 0 (a
// leading number is taken as far as it goes), as the C library's conversion.
std::int64_t ParseDecimal(std::wstring_view text);

// The proxy text "HTTP=HTTP://host:port" from a "host:port" value, or empty
// when the value has no ":" (fewer than two pieces).
std::wstring ProxyText(std::wstring_view proxy_value);

// Pieces of a text split at a separator, empty pieces dropped, as the
// settings' lists are split.
std::vector<std::wstring> SplitNonEmpty(std::wstring_view text, wchar_t separator);

}  // namespace nm::transfer
