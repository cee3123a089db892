#include "download/segmented_download.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "base/scope_guard.h"
#include "base/unique_handle.h"
#include "base/url_text.h"
#include "download/http_session.h"
#include "download/thread_values.h"
#include "download/transfer_rules.h"

namespace nm {

namespace {
namespace tv = thread_values;

// WinINet is read in large pieces (a 1 KiB read costs about as much as a
// 64 KiB one), but every rule below still sees 1 KiB blocks: one judgement
// and one progress report per block.
constexpr std::int64_t kNetworkBuffer = 64 * 1024;
constexpr int kEmptyReadsBeforeReconnect = 4;

struct SegmentJob {
    std::wstring url;
    std::wstring part_path;
    std::int64_t offset = 0;
    std::int64_t length = 0;  // 0 or less: the response gives it
    int index = 0;
    int file_id = 0;
    std::int64_t file_size = 0;
    bool no_retry = false;
    int row = -1;
    HWND window = nullptr;
    long connect_tries = 3;
    std::function<void(std::int64_t, std::int64_t)> on_file_bytes;
    // Set when the segment thread ends, so the starter wakes at once instead
    // of at its next poll. Shared: a thread may end after the starter is gone.
    std::shared_ptr<unique_handle> ended;
};

void Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (window) ::SendMessageW(window, message, wparam, lparam);
}

WPARAM RowParameter(int row) { return static_cast<WPARAM>(static_cast<INT_PTR>(row)); }

bool Aborted(int file_id) { return tv::AbortMarked(file_id); }

// Progress of one segment, one report per block: the file's and the
// segment's counters, each kept within 0 and the file size, go to the window
// and to host windows. The counters of all the blocks of one network read
// are added under one hold of the table's lock.
void ReportProgress(const SegmentJob& job, const std::vector<std::int64_t>& deltas) {
    if (deltas.empty()) return;
    std::vector<std::int64_t> file_bytes(deltas.size()), segment_bytes(deltas.size());
    tv::AddSeries(tv::kFileReceived, tv::kSegmentReceived | static_cast<std::uint32_t>(job.index), job.file_id,
                  deltas.data(), deltas.size(), job.file_size, file_bytes.data(), segment_bytes.data());
    const WPARAM segment_parameter =
        (static_cast<WPARAM>(job.index) << 16) | (static_cast<WPARAM>(job.row) & 0xFFFF);
    for (size_t i = 0; i < deltas.size(); ++i) {
        Send(job.window, UM_FILEDONE, RowParameter(job.row), static_cast<LPARAM>(file_bytes[i]));
        if (job.on_file_bytes) job.on_file_bytes(job.file_size, file_bytes[i]);
        Send(job.window, UM_SEGDONE, segment_parameter, static_cast<LPARAM>(segment_bytes[i]));
    }
}

void ReportProgress(const SegmentJob& job, std::int64_t delta) {
    ReportProgress(job, std::vector<std::int64_t>{delta});
}

// Hands out the body in 1024-byte steps from larger network reads. Asks the
// network only for whole blocks of what is still expected, so the steps are
// the reads that block-by-block reading would have made.
class BlockReader {
public:
    explicit BlockReader(HINTERNET request) : request_(request), buffer_(kNetworkBuffer) {}

    // The next read of up to 1024 bytes, left in the buffer (valid until
    // the buffer runs empty); a count of 0 for an empty or failed read.
    const char* Read(std::int64_t remaining, DWORD* count) {
        if (position_ == end_) {
            position_ = end_ = 0;
            const DWORD want = static_cast<DWORD>(transfer::NetworkReadSize(remaining, kNetworkBuffer));
            DWORD got = 0;
            if (!::InternetReadFile(request_, buffer_.data(), want, &got)) got = 0;
            end_ = got;
        }
        *count = std::min<DWORD>(transfer::kBlockSize, end_ - position_);
        const char* data = buffer_.data() + position_;
        position_ += *count;
        return data;
    }

    // Whether the next Read goes to the network.
    bool Empty() const { return position_ == end_; }

    // Skips the first `count` bytes of a body that ignored the range.
    void Discard(std::int64_t count) {
        while (count > 0) {
            const DWORD want = static_cast<DWORD>(std::min(count, kNetworkBuffer));
            DWORD got = 0;
            ::InternetReadFile(request_, buffer_.data(), want, &got);
            // The count drops by what was asked, so a dead connection cannot loop forever.
            count -= want;
        }
    }

private:
    HINTERNET request_;
    std::vector<char> buffer_;
    DWORD position_ = 0;
    DWORD end_ = 0;
};

std::int64_t FileLength(HANDLE file) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size)) return -1;
    return size.QuadPart;
}

bool WriteAll(HANDLE file, const char* data, DWORD count) {
    DWORD written = 0;
    return ::WriteFile(file, data, count, &written, nullptr) && written == count;
}

// One segment (or a whole single-connection transfer) into `output`.
bool DownloadSegment(SegmentJob& job, HANDLE output) {
    std::int64_t received = 0;
    long attempts = 0;
    std::int64_t expected = job.length;
    std::int64_t remaining = expected;
    bool length_known = job.length > 0;
    const long allowed_attempts = transfer::ConnectionAttempts(job.connect_tries);
    unique_hinternet session;
    unique_hinternet request;
    std::unique_ptr<BlockReader> reader;

    auto fail = [&] {
        tv::Set(tv::kAbortMark, job.file_id, tv::kAbortValue);
        ReportProgress(job, -received);
        reader.reset();
        request.reset();
        session.reset();
        return false;
    };

    for (;;) {
        if (!request) {
            // Connect phase.
            if (++attempts > allowed_attempts) return fail();
            const std::int64_t position = job.offset + received;
            const std::wstring headers = transfer::RangeHeader(position);
            reader.reset();
            request.reset();
            session = OpenSession(NextDownloadAgent());
            if (session) request = OpenRequest(session.get(), job.url, headers);
            if (!request) {
                session.reset();
                if (job.no_retry) return fail();
                ::Sleep(10);
                continue;
            }
            reader = std::make_unique<BlockReader>(request.get());
            const std::int64_t status = QueryNumber(request.get(), HTTP_QUERY_STATUS_CODE);
            // A server that ignored the range sends the body from its start.
            if (position > 0 && status != 206 && status != 0) reader->Discard(position);
            if (!length_known) {
                if (status == 404 || (status != 200 && status != 206)) return fail();
                bool has_length = false;
                const std::int64_t length = QueryNumber(request.get(), HTTP_QUERY_CONTENT_LENGTH, &has_length);
                // Without a length the end of the file cannot be told from a
                // broken connection: no size, as for the size query.
                if (!has_length || length < 0) return fail();
                expected = remaining = job.file_size = length;
                length_known = true;
                Send(job.window, UM_FILESIZE, RowParameter(job.row), static_cast<LPARAM>(length));
                Send(job.window, UM_SEGSIZE, RowParameter(job.row), static_cast<LPARAM>(length));
                Send(job.window, UM_FILETHREADS, RowParameter(job.row), 1);
                if (length == 0) return true;
            }
        }

        // Read phase. Good blocks are kept back while they lie one after
        // another in the reader's buffer, then written and reported together.
        int empty_reads = 0;
        bool reconnect = false;
        const char* pending = nullptr;
        DWORD pending_bytes = 0;
        std::vector<std::int64_t> pending_blocks;
        auto flush = [&] {
            if (pending_bytes && !WriteAll(output, pending, pending_bytes)) return false;
            received += pending_bytes;
            ReportProgress(job, pending_blocks);
            pending = nullptr;
            pending_bytes = 0;
            pending_blocks.clear();
            return true;
        };
        while (!Aborted(job.file_id) && remaining > 0) {
            DWORD count = 0;
            const char* data = reader->Read(remaining, &count);
            const transfer::ReadOutcome outcome = transfer::JudgeRead(count, remaining);
            if (outcome != transfer::ReadOutcome::Good) {
                if (!flush()) return fail();
                if (outcome == transfer::ReadOutcome::Short) return fail();
                if (job.no_retry) return fail();
                if (++empty_reads >= kEmptyReadsBeforeReconnect) {
                    reconnect = true;
                    break;
                }
                continue;
            }
            attempts = 0;
            empty_reads = 0;
            const DWORD keep = static_cast<DWORD>(std::min<std::int64_t>(count, remaining));
            if (!pending) pending = data;
            pending_bytes += keep;
            pending_blocks.push_back(keep);
            remaining -= count;
            if ((reader->Empty() || remaining <= 0) && !flush()) return fail();
        }
        if (!flush()) return fail();
        if (reconnect) {
            reader.reset();
            request.reset();
            session.reset();
            continue;
        }
        break;
    }

    // Check.
    ::FlushFileBuffers(output);
    if (expected != 0 && FileLength(output) == expected) return true;
    return fail();
}

DWORD WINAPI SegmentThread(LPVOID parameter) {
    std::unique_ptr<SegmentJob> job(static_cast<SegmentJob*>(parameter));
    {
        unique_hfile part(::CreateFileW(job->part_path.c_str(), GENERIC_WRITE | GENERIC_READ, FILE_SHARE_READ,
                                        nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (part) DownloadSegment(*job, part.get());
    }
    // The starter counted this thread before creating it.
    tv::Add(tv::kRunningThreads, job->file_id, -1);
    if (job->ended) ::SetEvent(job->ended->get());
    return 0;
}

std::wstring PartPath(const std::wstring& target, std::int64_t index) {
    return target + L".part" + std::to_wstring(index);
}

// Appends the part files in order; stops at the first that cannot be
// opened. Returns the target's length, or -1 when it cannot be created.
std::int64_t JoinParts(const std::wstring& target, std::int64_t count) {
    unique_hfile out(::CreateFileW(target.c_str(), GENERIC_WRITE | GENERIC_READ, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return -1;
    std::vector<char> buffer(kNetworkBuffer);
    for (std::int64_t i = 0; i < count; ++i) {
        unique_hfile part(::CreateFileW(PartPath(target, i).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!part) break;
        for (;;) {
            DWORD read = 0;
            if (!::ReadFile(part.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) ||
                read == 0)
                break;
            if (!WriteAll(out.get(), buffer.data(), read)) return -1;
        }
    }
    ::FlushFileBuffers(out.get());
    return FileLength(out.get());
}
}  // namespace

CSegmentedDownloader::CSegmentedDownloader()
    : id_(static_cast<int>(tv::Add(tv::kLastFileId, 0, 1))) {}

bool CSegmentedDownloader::DownloadSingle(bool no_retry, int row, HWND window) {
    remove_unless_kept written(target_);
    bool ok = false;
    {
        unique_hfile out(::CreateFileW(target_.c_str(), GENERIC_WRITE | GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (out) {
            SegmentJob job;
            job.url = url_;
            job.index = 0;
            job.file_id = id_;
            job.no_retry = no_retry;
            job.row = row;
            job.window = window;
            job.connect_tries = connect_tries;
            job.on_file_bytes = on_file_bytes;
            ok = DownloadSegment(job, out.get());
            size_ = job.file_size;
            segment_count_ = 1;
        }
    }
    if (ok) written.keep();
    return ok;
}

bool CSegmentedDownloader::DownloadFile(const std::wstring& url, const std::wstring& target, bool no_retry,
                                        int row, HWND window) {
    url_ = url;
    target_ = target;
    if (connections < 2 || no_retry) return DownloadSingle(no_retry, row, window);

    // Size, with the percent-encoded address as the second chance.
    std::int64_t size = -1;
    const long tries = transfer::ConnectionAttempts(connect_tries);
    for (long attempt = 0; attempt < tries && size < 0; ++attempt) {
        size = QueryRemoteSize(url_);
        if (size >= 0) break;
        const std::wstring encoded = PercentEncode(url_);
        if (encoded != url_) {
            const std::int64_t encoded_size = QueryRemoteSize(encoded);
            if (encoded_size >= 0) {
                url_ = encoded;
                size = encoded_size;
            }
        }
    }
    size_ = size;
    // A server that answers but names no size (an empty file, or no
    // Content-Length) cannot be cut into ranges; one connection reads the
    // body to its end instead of failing a file that is really there.
    if (size == 0) return DownloadSingle(no_retry, row, window);
    remove_unless_kept written(target_);
    if (size < 1) return false;

    const std::int64_t segment_size = transfer::SegmentSize(size, connections);
    segment_count_ = transfer::SegmentCount(size, segment_size);
    Send(window, UM_FILESIZE, RowParameter(row), static_cast<LPARAM>(size));
    Send(window, UM_SEGSIZE, RowParameter(row), static_cast<LPARAM>(segment_size));

    // Polls wait on the segments' end instead of sleeping their whole period.
    auto segment_ended = std::make_shared<unique_handle>(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    auto pause = [&](DWORD milliseconds) {
        if (*segment_ended) ::WaitForSingleObject(segment_ended->get(), milliseconds);
        else ::Sleep(milliseconds);
    };
    std::int64_t reported_threads = -1;  // the first count is always reported
    auto report_threads = [&](std::int64_t running) {
        if (running == reported_threads) return;
        reported_threads = running;
        Send(window, UM_FILETHREADS, RowParameter(row), static_cast<LPARAM>(running));
    };

    for (std::int64_t i = 0; i < segment_count_; ++i) {
        if (Aborted(id_)) break;
        auto job = std::make_unique<SegmentJob>();
        job->url = url_;
        job->part_path = PartPath(target_, i);
        job->offset = segment_size * i;
        job->length = transfer::SegmentLength(size, segment_size, i);
        job->index = static_cast<int>(i);
        job->file_id = id_;
        job->file_size = size;
        job->row = row;
        job->window = window;
        job->connect_tries = connect_tries;
        job->on_file_bytes = on_file_bytes;
        job->ended = segment_ended;
        // Counted here rather than in the thread, so the throttle below never
        // depends on how soon the new thread gets to run.
        tv::Add(tv::kRunningThreads, id_, 1);
        // Detached: the handle goes at once, the thread reports through the table.
        unique_handle thread(::CreateThread(nullptr, 0, SegmentThread, job.get(), 0, nullptr));
        if (!thread) {
            tv::Add(tv::kRunningThreads, id_, -1);
            tv::Set(tv::kAbortMark, id_, tv::kAbortValue);
            break;
        }
        job.release();
        if (Aborted(id_)) break;
        // (The new thread is already counted: no pause is needed for it to count itself.)
        // At most the connection count plus one run at once.
        for (;;) {
            const std::int64_t running = tv::Get(tv::kRunningThreads, id_);
            report_threads(running);
            if (running <= connections || running < 0) break;
            pause(10);
        }
    }

    // Wait for the last segment thread.
    bool aborted = false;
    for (;;) {
        aborted = aborted || Aborted(id_);
        const std::int64_t running = tv::Get(tv::kRunningThreads, id_);
        report_threads(running);
        if (running < 1) break;
        pause(50);
    }
    aborted = aborted || Aborted(id_);

    std::int64_t joined = -1;
    if (!aborted) joined = JoinParts(target_, segment_count_);
    for (std::int64_t i = 0; i < segment_count_; ++i) ::DeleteFileW(PartPath(target_, i).c_str());
    ::SetFileAttributesW(target_.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (joined != size) return false;
    Send(window, UM_FILEDONE, RowParameter(row), static_cast<LPARAM>(size));
    written.keep();
    return true;
}

}  // namespace nm
