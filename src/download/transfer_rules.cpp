// portable: builds without Win32
#include "download/transfer_rules.h"

#include <algorithm>
#include <cwchar>

namespace nm::transfer {

std::int64_t SegmentSize(std::int64_t file_size, int connections) {
    const std::int64_t share = file_size / std::max(connections, 1);
    std::int64_t size = share * 3 / 4;
    size -= size % kBlockSize;
    return std::max(size, kMinimumSegmentSize);
}

std::int64_t SegmentCount(std::int64_t file_size, std::int64_t segment_size) {
    if (segment_size <= 0 || file_size <= 0) return 1;
    std::int64_t count = file_size / segment_size + (file_size % segment_size ? 1 : 0);
    return std::max<std::int64_t>(count, 1);
}

std::int64_t SegmentLength(std::int64_t file_size, std::int64_t segment_size, std::int64_t index) {
    const std::int64_t offset = segment_size * index;
    return std::max<std::int64_t>(std::min(segment_size, file_size - offset), 0);
}

std::wstring RangeHeader(std::int64_t position) {
    if (position <= 0) return {};
    wchar_t text[64];
    std::swprintf(text, std::size(text), L"Range:bytes=%lld-", static_cast<long long>(position));
    return text;
}

std::int64_t ClampProgress(std::int64_t current, std::int64_t delta, std::int64_t file_size) {
    std::int64_t value = current + delta;
    if (value > file_size) value = file_size;
    if (value < 0) value = 0;
    return value;
}

ReadOutcome JudgeRead(std::int64_t count, std::int64_t remaining) {
    if (count <= 0) return ReadOutcome::Empty;
    if (count == kBlockSize || count == remaining) return ReadOutcome::Good;
    return ReadOutcome::Short;
}

std::int64_t NetworkReadSize(std::int64_t remaining, std::int64_t buffer_size) {
    const std::int64_t blocks = std::max<std::int64_t>((remaining + kBlockSize - 1) / kBlockSize, 1);
    const std::int64_t buffer_blocks = std::max<std::int64_t>(buffer_size / kBlockSize, 1);
    return std::min(blocks, buffer_blocks) * kBlockSize;
}

long ConnectionAttempts(long connect_try_count) { return std::max(connect_try_count, 1L); }

std::int64_t ParseDecimal(std::wstring_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t' || text[i] == L'\r' || text[i] == L'\n')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        if (value > (INT64_MAX - 9) / 10) break;  // absurd lengths stop growing rather than overflow
        value = value * 10 + (text[i] - L'0');
    }
    return negative ? -value : value;
}

std::vector<std::wstring> SplitNonEmpty(std::wstring_view text, wchar_t separator) {
    std::vector<std::wstring> pieces;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::wstring_view::npos) end = text.size();
        if (end > start) pieces.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

std::wstring ProxyText(std::wstring_view proxy_value) {
    const auto pieces = SplitNonEmpty(proxy_value, L':');
    if (pieces.size() < 2) return {};
    return L"HTTP=HTTP://" + pieces[0] + L":" + pieces[1];
}

}  // namespace nm::transfer
