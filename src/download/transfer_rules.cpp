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

std::wstring RangeHeader(std::int64_t first, std::int64_t end, std::int64_t file_size) {
    wchar_t text[80];
    if (end >= file_size)
        std::swprintf(text, std::size(text), L"Range:bytes=%lld-", static_cast<long long>(first));
    else
        std::swprintf(text, std::size(text), L"Range:bytes=%lld-%lld", static_cast<long long>(first),
                      static_cast<long long>(end - 1));
    return text;
}

bool ParseContentRange(std::wstring_view text, ContentRange* range) {
    // "bytes" and at least one space, then the range or "*", "/", the total.
    constexpr std::wstring_view unit = L"bytes";
    if (text.substr(0, unit.size()) != unit) return false;
    size_t i = unit.size();
    if (i >= text.size() || text[i] != L' ') return false;
    while (i < text.size() && text[i] == L' ') ++i;
    auto number = [&](std::int64_t* value) {
        const size_t start = i;
        std::int64_t n = 0;
        for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
            if (n > (INT64_MAX - 9) / 10) return false;
            n = n * 10 + (text[i] - L'0');
        }
        *value = n;
        return i > start;
    };
    ContentRange parsed;
    if (i < text.size() && text[i] == L'*') {
        ++i;
    } else {
        if (!number(&parsed.first) || i >= text.size() || text[i++] != L'-' || !number(&parsed.last) ||
            parsed.last < parsed.first)
            return false;
    }
    if (i >= text.size() || text[i++] != L'/' || !number(&parsed.total)) return false;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\r' || text[i] == L'\n')) ++i;
    if (i != text.size() || (parsed.last >= 0 && parsed.last >= parsed.total)) return false;
    *range = parsed;
    return true;
}

FirstAnswer JudgeFirstAnswer(const Answer& answer) {
    FirstAnswer judged = JudgeFirstStatus(answer);
    judged.status = answer.status;
    return judged;
}

FirstAnswer JudgeFirstStatus(const Answer& answer) {
    switch (answer.status) {
    case 206:
        if (!answer.has_range || answer.range.first != 0) return {};
        if (answer.range.last != std::min(answer.range.total, kFirstRequestLength) - 1) return {};
        return {FirstAnswerKind::Ranged, answer.range.total};
    case 200:
        // Without a length the end of the body cannot be told from a broken connection.
        if (!answer.has_length || answer.length < 0) return {};
        return {answer.length == 0 ? FirstAnswerKind::Empty : FirstAnswerKind::WholeBody, answer.length};
    case 416:
        // Nothing to give from byte 0: an empty file.
        if (answer.has_range && answer.range.first < 0 && answer.range.total == 0) return {FirstAnswerKind::Empty, 0};
        return {};
    case 404:
    case 410:
        return {FirstAnswerKind::NotFound, 0};
    default:
        return {};
    }
}

std::wstring HttpStatusReason(std::int64_t status) { return L" (HTTP " + std::to_wstring(status) + L")"; }

RangeAnswerKind JudgeRangeAnswer(const Answer& answer, std::int64_t first, std::int64_t end, std::int64_t file_size) {
    if (answer.status == 206) {
        if (!answer.has_range) return RangeAnswerKind::Failed;
        if (answer.range.total != file_size) return RangeAnswerKind::FileChanged;
        if (answer.range.first != first || answer.range.last != end - 1) return RangeAnswerKind::Failed;
        return RangeAnswerKind::Ranged;
    }
    if (answer.status == 200) {
        if (!answer.has_length) return RangeAnswerKind::Failed;
        return answer.length == file_size ? RangeAnswerKind::WholeBody : RangeAnswerKind::FileChanged;
    }
    // Nothing satisfies the range any more: the file got shorter.
    if (answer.status == 416) return RangeAnswerKind::FileChanged;
    return RangeAnswerKind::Failed;
}

AnnouncedSize JudgeAnnouncedSize(std::int64_t announced, std::int64_t limit, std::int64_t free_bytes) {
    if (limit >= 0 && announced > limit) return AnnouncedSize::OverLimit;
    if (free_bytes >= 0 && announced > free_bytes) return AnnouncedSize::OverFreeSpace;
    return AnnouncedSize::Accepted;
}

std::int64_t ArchiveSizeLimit(std::int64_t file_limit) {
    // Stored blocks cost 5 bytes in 64 KiB; each name, at most 64 KiB, is written twice.
    return file_limit < 0 ? file_limit : file_limit + file_limit / 128 + 256 * 1024;
}

std::int64_t NextRequestLength(std::int64_t last_bytes, double last_seconds) {
    if (last_bytes <= 0) return kFirstRequestLength;
    // A request that took no measurable time: as much as the piece holds.
    if (last_seconds <= 0) return INT64_MAX / 2;
    const double wanted = static_cast<double>(last_bytes) / last_seconds * 0.5;
    if (wanted >= static_cast<double>(INT64_MAX / 2)) return INT64_MAX / 2;
    const std::int64_t length = static_cast<std::int64_t>(wanted) / kBlockSize * kBlockSize;
    return std::max(length, kMinimumRequest);
}

std::int64_t ClampProgress(std::int64_t current, std::int64_t delta, std::int64_t file_size) {
    std::int64_t value = current + delta;
    if (value > file_size) value = file_size;
    if (value < 0) value = 0;
    return value;
}

std::int64_t CompletedBlocksEnd(std::int64_t counted, std::int64_t position, std::int64_t file_size) {
    if (position >= file_size) return file_size;
    return std::max(counted, position / kBlockSize * kBlockSize);
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
