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
// The header for the bytes [first, end) of a file of `file_size` bytes:
// bounded ("Range:bytes=N-M") unless it runs to the end of the file, which
// keeps the open form ("Range:bytes=N-").
std::wstring RangeHeader(std::int64_t first, std::int64_t end, std::int64_t file_size);

// The first request of a segmented transfer asks for this many bytes from
// the start; its Content-Range names the file's size, and a file that fits
// in it costs that one request and is one segment.
constexpr std::int64_t kFirstRequestLength = 1024 * 1024;

// A "Content-Range" value, "bytes FIRST-LAST/TOTAL" or "bytes */TOTAL"
// (first and last -1). False for anything else, an unknown total included.
struct ContentRange {
    std::int64_t first = -1;
    std::int64_t last = -1;
    std::int64_t total = -1;
};
bool ParseContentRange(std::wstring_view text, ContentRange* range);

// What the headers of one answer say. A header that was not sent is absent.
struct Answer {
    std::int64_t status = 0;
    bool has_length = false;
    std::int64_t length = 0;
    bool has_range = false;
    ContentRange range;
};

// The first answer of a segmented transfer, to a request for the bytes
// [0, kFirstRequestLength).
enum class FirstAnswerKind {
    Ranged,     // 206 for what was asked: the file's size is `size`
    WholeBody,  // 200 with a length: the whole file, `size` bytes, on this connection
    Empty,      // the file has no bytes
    NotFound,   // 404 or 410: final, not asked again
    Failed      // anything else: worth another attempt
};
struct FirstAnswer {
    FirstAnswerKind kind = FirstAnswerKind::Failed;
    std::int64_t size = 0;
    // For the log: the answer's HTTP status, or (no answer at all) the
    // system's error of the attempt.
    std::int64_t status = 0;
    unsigned long error = 0;

    // The server has the file (maybe empty).
    bool Found() const { return kind != FirstAnswerKind::NotFound && kind != FirstAnswerKind::Failed; }
    // Bytes of the file wait to be read on the connection.
    bool HasBody() const { return kind == FirstAnswerKind::Ranged || kind == FirstAnswerKind::WholeBody; }
};
FirstAnswer JudgeFirstAnswer(const Answer& answer);
// The same without the status noted.
FirstAnswer JudgeFirstStatus(const Answer& answer);
// " (HTTP 404)": an answer's status, to append to a failure line.
std::wstring HttpStatusReason(std::int64_t status);

// An answer to a request for the bytes [first, end) of a file of
// `file_size` bytes.
enum class RangeAnswerKind {
    Ranged,       // 206 with exactly what was asked
    WholeBody,    // 200 with the whole file: skip `first` bytes of it
    FileChanged,  // the server's file is not the one being fetched any more
    Failed        // anything else: worth another attempt
};
RangeAnswerKind JudgeRangeAnswer(const Answer& answer, std::int64_t first, std::int64_t end, std::int64_t file_size);

// What a transfer makes of the size a server announces for a file, before
// it writes anything: more than the bytes allowed for it (`limit`, below 0
// when none applies), or more than its volume has free (`free_bytes`, below
// 0 when unknown), fails the file at once.
enum class AnnouncedSize { Accepted, OverLimit, OverFreeSpace };
AnnouncedSize JudgeAnnouncedSize(std::int64_t announced, std::int64_t limit, std::int64_t free_bytes);

// The most an update list and its signature may have, far above any real
// one (a list of 100,000 files with their sha256 and sizes is about 15 MB,
// a signature under 200 bytes): a server that sends without end is cut off.
constexpr std::int64_t kListSizeLimit = 64 * 1024 * 1024;
constexpr std::int64_t kListSignatureSizeLimit = 64 * 1024;
// The most an archive variant of a file of at most `file_limit` bytes may
// have: the file itself, what deflate adds to data it cannot shrink, and the
// archive's headers with its names. No limit (below 0) stays none.
std::int64_t ArchiveSizeLimit(std::int64_t file_limit);

// How many bytes a connection asks for next: about half a second's worth
// at the rate its last request ran (`last_bytes` in `last_seconds`), whole
// blocks, at least kMinimumRequest; kFirstRequestLength when nothing was
// measured yet. A slow connection so asks in small steps that a free
// connection can take over the rest; a fast one asks for its whole piece.
constexpr std::int64_t kMinimumRequest = 64 * 1024;
std::int64_t NextRequestLength(std::int64_t last_bytes, double last_seconds);

// A progress counter after adding delta: kept within 0 and the file size.
std::int64_t ClampProgress(std::int64_t current, std::int64_t delta, std::int64_t file_size);

// Progress is counted in 1024-byte blocks of the file: a connection at
// `position` that had counted up to `counted` has completed the blocks up
// to the returned offset (the file's end closes its last, shorter block).
std::int64_t CompletedBlocksEnd(std::int64_t counted, std::int64_t position, std::int64_t file_size);

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
