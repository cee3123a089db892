#include "download/segmented_download.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "base/file_ops.h"
#include "base/scope_guard.h"
#include "base/system_error.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "download/connection.h"
#include "services/process_services.h"
#include "download/first_request.h"
#include "download/rate_cap.h"
#include "download/segment_plan.h"
#include "download/thread_values.h"
#include "download/transfer_rules.h"

namespace nm {

namespace {
namespace tv = thread_values;
using transfer::ByteRange;

// WinINet is read in large pieces (a 1 KiB read costs about as much as a
// 64 KiB one, and under Wine each read of the socket is a round trip to the
// server); progress is still counted per 1024-byte block. Larger buffers no
// longer come from the heap's free blocks: each would be new pages.
constexpr DWORD kNetworkBuffer = 256 * 1024;
constexpr int kEmptyReadsBeforeReconnect = 4;

void Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (window) ::SendMessageW(window, message, wparam, lparam);
}

WPARAM RowParameter(int row) { return static_cast<WPARAM>(static_cast<INT_PTR>(row)); }

double Seconds() {
    LARGE_INTEGER frequency, counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::wstring PartPath(const std::wstring& target, std::int64_t index) {
    return target + L".part" + std::to_wstring(index);
}

// What all connections of one file share. Lives until the last of them has
// ended: a connection thread may still be signalling its end after the
// starter has returned.
struct FileTransfer {
    std::wstring url;
    std::wstring target;
    std::wstring complete;  // where the joined file goes
    int file_id = 0;
    int row = -1;
    HWND window = nullptr;
    std::int64_t size = 0;
    std::int64_t segment_size = 0;
    std::int64_t segment_count = 1;
    bool single = false;  // one connection straight into the target
    bool no_retry = false;
    long connect_tries = 3;
    DownloadRateCap* rate_cap = nullptr;
    std::function<void(std::int64_t, std::int64_t)> on_file_bytes;

    std::mutex plan_lock;
    mutable std::mutex report_lock;
    mutable std::mutex failure_lock;
    std::wstring failure;  // under failure_lock
    std::unique_ptr<transfer::SegmentPlan> plan;
    // Set as each connection thread ends; made only when there are threads.
    unique_handle connection_ended;

    std::int64_t SegmentOf(std::int64_t offset) const { return single ? 0 : offset / segment_size; }
    std::wstring PartOf(std::int64_t index) const { return single ? target : PartPath(target, index); }

    // The blocks [from, to) of the file are complete: the file's and each
    // segment's counters, then one report per block to the window and the
    // host windows. Counters of many blocks are added under one lock.
    void CountBlocks(std::int64_t from, std::int64_t to) const {
        std::vector<std::int64_t> deltas, file_bytes, segment_bytes;
        while (from < to) {
            const std::int64_t segment = SegmentOf(from);
            const std::int64_t segment_end = single ? to : std::min(to, (segment + 1) * segment_size);
            deltas.clear();
            for (std::int64_t block = from; block < segment_end; block += transfer::kBlockSize)
                deltas.push_back(std::min<std::int64_t>(transfer::kBlockSize, segment_end - block));
            Report(segment, deltas, file_bytes, segment_bytes);
            from = segment_end;
        }
    }

    // On failure every segment gives back what it had counted.
    void TakeBackProgress() const {
        std::vector<std::int64_t> delta(1), file_bytes, segment_bytes;
        for (std::int64_t segment = 0; segment < segment_count; ++segment) {
            delta[0] = -tv::Get(tv::kSegmentReceived | static_cast<std::uint32_t>(segment), file_id);
            if (delta[0] != 0) Report(segment, delta, file_bytes, segment_bytes);
        }
    }

    bool Aborted() const { return tv::AbortMarked(file_id); }
    void Abort() const { tv::Set(tv::kAbortMark, file_id, tv::kAbortValue); }
    // Aborts the file with the reason for the log; the first reason holds.
    void Fail(const std::wstring& reason) {
        {
            std::lock_guard guard(failure_lock);
            if (failure.empty()) failure = reason;
        }
        Abort();
    }
    std::wstring Failure() const {
        std::lock_guard guard(failure_lock);
        return failure;
    }

private:
    void Report(std::int64_t segment, const std::vector<std::int64_t>& deltas, std::vector<std::int64_t>& file_bytes,
                std::vector<std::int64_t>& segment_bytes) const {
        file_bytes.resize(deltas.size());
        segment_bytes.resize(deltas.size());
        const bool watched = window || on_file_bytes;
        // Connections sharing a segment report one after another, so a
        // window never sees a counter go back to an older value.
        std::unique_lock<std::mutex> in_order(report_lock, std::defer_lock);
        if (watched) in_order.lock();
        tv::AddSeries(tv::kFileReceived, tv::kSegmentReceived | static_cast<std::uint32_t>(segment), file_id,
                      deltas.data(), deltas.size(), size, file_bytes.data(), segment_bytes.data());
        if (!watched) return;
        const WPARAM segment_parameter = (static_cast<WPARAM>(segment) << 16) | (static_cast<WPARAM>(row) & 0xFFFF);
        for (size_t i = 0; i < deltas.size(); ++i) {
            Send(window, UM_FILEDONE, RowParameter(row), static_cast<LPARAM>(file_bytes[i]));
            if (on_file_bytes) on_file_bytes(size, file_bytes[i]);
            Send(window, UM_SEGDONE, segment_parameter, static_cast<LPARAM>(segment_bytes[i]));
        }
    }
};

// Writes a connection's bytes where they belong: into the part file of the
// segment that holds them, at their place in it (two connections may share
// a segment), or straight into the target for a single connection.
class PartWriter {
public:
    explicit PartWriter(const FileTransfer& file) : file_(file) {}

    bool Write(std::int64_t position, const char* data, DWORD count) {
        while (count > 0) {
            const std::int64_t segment = file_.SegmentOf(position);
            if (segment != open_segment_) {
                part_.reset(::CreateFileW(file_.PartOf(segment).c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
                open_segment_ = segment;
                if (!part_) return false;
            }
            const std::int64_t offset = file_.single ? position : position - segment * file_.segment_size;
            const DWORD piece =
                file_.single ? count : static_cast<DWORD>(std::min<std::int64_t>(count, file_.segment_size - offset));
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            DWORD written = 0;
            if (!::WriteFile(part_.get(), data, piece, &written, &at) || written != piece) return false;
            position += piece;
            data += piece;
            count -= piece;
        }
        return true;
    }

private:
    const FileTransfer& file_;
    unique_hfile part_;
    std::int64_t open_segment_ = -1;
};

// One connection working through requests of its piece of the file.
class Fetcher {
public:
    Fetcher(FileTransfer& file, Connection connection)
        : file_(file), connection_(std::move(connection)), writer_(file) {}

    // The bytes [range.first, range.end) of the file, reconnecting at the
    // byte where a connection broke; an open request is taken to be the one
    // for them. False, with the file's abort mark set, when they cannot be
    // had.
    bool Fetch(ByteRange range) {
        // No larger a buffer than the range: for a small file a full one
        // would be fresh pages to clear, every file.
        const std::int64_t buffer_size =
            std::clamp<std::int64_t>(range.end - range.first, transfer::kBlockSize, kNetworkBuffer);
        if (static_cast<std::int64_t>(buffer_.size()) < buffer_size) buffer_.resize(static_cast<size_t>(buffer_size));
        std::int64_t position = range.first;
        std::int64_t counted = position / transfer::kBlockSize * transfer::kBlockSize;
        const long allowed_attempts = transfer::ConnectionAttempts(file_.connect_tries);
        long attempts = 0;
        int empty_reads = 0;
        bool whole_body = false;
        std::wstring last_reason;  // why the last attempt did not get the bytes
        auto fail = [&](const std::wstring& reason) {
            file_.Fail(reason);
            connection_.Drop();
            return false;
        };
        while (position < range.end) {
            if (file_.Aborted()) return fail(L"");
            if (!connection_.HasRequest()) {
                if (++attempts > allowed_attempts) return fail(last_reason);
                // A request from the start of the whole file keeps the plain form.
                const std::wstring headers = position == 0 && range.end >= file_.size
                                                 ? L""
                                                 : transfer::RangeHeader(position, range.end, file_.size);
                if (!connection_.Open(file_.url, headers)) {
                    last_reason = SystemReason(::GetLastError());
                    if (file_.no_retry) return fail(last_reason);
                    ::Sleep(10);
                    continue;
                }
                const transfer::Answer answer = connection_.Answer();
                last_reason = transfer::HttpStatusReason(answer.status);
                switch (transfer::JudgeRangeAnswer(answer, position, range.end, file_.size)) {
                case transfer::RangeAnswerKind::Ranged:
                    whole_body = false;
                    break;
                case transfer::RangeAnswerKind::WholeBody:
                    whole_body = true;
                    if (!connection_.Discard(position, buffer_)) connection_.Drop();
                    continue;
                case transfer::RangeAnswerKind::FileChanged:
                    return fail(L" (" + TranslateMain(L"the file changed on the server") + L")");
                case transfer::RangeAnswerKind::Failed:
                    if (file_.no_retry) return fail(last_reason);
                    connection_.Drop();
                    continue;
                }
            }
            std::int64_t want = std::min<std::int64_t>(buffer_.size(), range.end - position);
            if (file_.rate_cap) {
                want = std::min(want, file_.rate_cap->LargestRead());
                file_.rate_cap->Book(want);
            }
            const DWORD got = connection_.Read(buffer_.data(), static_cast<DWORD>(want));
            if (file_.rate_cap) file_.rate_cap->GiveBack(want - got);
            if (got == 0) {
                // The connection ended early: what arrived is kept, and a new
                // one goes on from the byte after it.
                last_reason = L" (" + TranslateMain(L"the connection ended early") + L")";
                if (file_.no_retry) return fail(last_reason);
                if (++empty_reads >= kEmptyReadsBeforeReconnect) {
                    empty_reads = 0;
                    connection_.Drop();
                }
                continue;
            }
            attempts = 0;
            empty_reads = 0;
            if (!writer_.Write(position, buffer_.data(), got)) return fail(SystemReason(::GetLastError()));
            position += got;
            const std::int64_t complete = transfer::CompletedBlocksEnd(counted, position, file_.size);
            if (complete > counted) {
                file_.CountBlocks(counted, complete);
                counted = complete;
            }
        }
        // A body read to its end gives its socket back for the next request;
        // one that ignored the range has more to it, which the next request
        // does not want either.
        if (whole_body)
            connection_.Drop();
        else
            connection_.Close();
        return true;
    }

private:
    FileTransfer& file_;
    Connection connection_;
    PartWriter writer_;
    std::vector<char> buffer_;
};

// A connection of a segmented file: requests from the plan until nothing is
// left for it or the file failed.
void RunConnection(FileTransfer& file, int connection_number, Connection connection) {
    Fetcher fetcher(file, std::move(connection));
    std::int64_t wanted = transfer::kFirstRequestLength;
    for (;;) {
        if (file.Aborted()) return;
        ByteRange range;
        {
            std::lock_guard guard(file.plan_lock);
            range = file.plan->NextRequest(connection_number, wanted);
        }
        if (range.empty()) return;
        const double started = Seconds();
        if (!fetcher.Fetch(range)) return;
        {
            std::lock_guard guard(file.plan_lock);
            file.plan->Advance(connection_number, range.end - range.first);
        }
        wanted = transfer::NextRequestLength(range.end - range.first, Seconds() - started);
    }
}

struct ConnectionJob {
    std::shared_ptr<FileTransfer> file;
    int number = 0;
    Connection connection;
};

DWORD WINAPI ConnectionThread(LPVOID parameter) {
    std::unique_ptr<ConnectionJob> job(static_cast<ConnectionJob*>(parameter));
    RunConnection(*job->file, job->number, std::move(job->connection));
    // The starter counted this thread before creating it.
    tv::Add(tv::kRunningThreads, job->file->file_id, -1);
    if (job->file->connection_ended) ::SetEvent(job->file->connection_ended.get());
    return 0;
}

std::optional<std::int64_t> FileLength(HANDLE file) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size)) return std::nullopt;
    return size.QuadPart;
}

bool CreateEmptyFile(const std::wstring& path) {
    return static_cast<bool>(unique_hfile(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
}

// Moves a downloaded file to where it is kept. A name the caller chose may be
// held a moment by another process (a scanner) and is retried, as the
// caller's own rename to it always was.
bool MoveIntoPlace(const std::wstring& from, const std::wstring& to, bool retry_while_held) {
    // Not written through: a download lost to a power cut is fetched again.
    if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    return retry_while_held && files::ReplaceWithRetries(from, to);
}

// The parts in order into the complete file: the first part becomes it, the
// others are appended to it. A part that does not hold exactly its segment
// fails the join. Returns the complete file's length, none on failure.
std::optional<std::int64_t> JoinParts(const FileTransfer& file) {
    for (std::int64_t i = 0; i < file.segment_count; ++i)
        if (files::Size(PartPath(file.target, i)) != transfer::SegmentLength(file.size, file.segment_size, i))
            return std::nullopt;
    if (!MoveIntoPlace(PartPath(file.target, 0), file.complete, file.complete != file.target)) return std::nullopt;
    if (file.segment_count == 1) return files::Size(file.complete);
    unique_hfile out(::CreateFileW(file.complete.c_str(), GENERIC_WRITE | GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out || !::SetFilePointerEx(out.get(), LARGE_INTEGER{}, nullptr, FILE_END)) return std::nullopt;
    std::vector<char> buffer(1024 * 1024);
    for (std::int64_t i = 1; i < file.segment_count; ++i) {
        unique_hfile part(::CreateFileW(PartPath(file.target, i).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!part) return std::nullopt;
        for (DWORD read = 0;
             ::ReadFile(part.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read > 0;) {
            DWORD written = 0;
            if (!::WriteFile(out.get(), buffer.data(), read, &written, nullptr) || written != read) return std::nullopt;
        }
    }
    return FileLength(out.get());
}

std::shared_ptr<FileTransfer> NewTransfer(const CSegmentedDownloader& downloader, int row, HWND window) {
    auto file = std::make_shared<FileTransfer>();
    file->url = downloader.url();
    file->target = downloader.target();
    file->complete = downloader.CompletePath();
    file->file_id = downloader.id();
    file->row = row;
    file->window = window;
    file->connect_tries = downloader.connect_tries;
    file->rate_cap = downloader.rate_cap;
    file->on_file_bytes = downloader.on_file_bytes;
    return file;
}

}  // namespace

CSegmentedDownloader::CSegmentedDownloader() : id_(static_cast<int>(tv::Add(tv::kLastFileId, 0, 1))) {}

bool CSegmentedDownloader::Fail(std::wstring reason) {
    failure_ = std::move(reason);
    return false;
}

bool CSegmentedDownloader::RefusesAnnouncedSize(std::int64_t announced) {
    const std::optional<std::uint64_t> free = files::FreeBytesFor(target_);
    const std::int64_t free_bytes = free ? static_cast<std::int64_t>(std::min<std::uint64_t>(*free, INT64_MAX)) : -1;
    switch (transfer::JudgeAnnouncedSize(announced, size_limit, free_bytes)) {
    case transfer::AnnouncedSize::Accepted:
        return false;
    case transfer::AnnouncedSize::OverLimit:
        failure_ = L" (" +
                   text::Format(TranslateMain(L"announced %s bytes, more than the %s expected"),
                                {std::to_wstring(announced), std::to_wstring(size_limit)}) +
                   L")";
        return true;
    case transfer::AnnouncedSize::OverFreeSpace:
        failure_ = SystemReason(ERROR_DISK_FULL);
        return true;
    }
    return false;
}

void CSegmentedDownloader::Abort() { tv::Set(tv::kAbortMark, id_, tv::kAbortValue); }

bool CSegmentedDownloader::DownloadSingle(bool no_retry, int row, HWND window) {
    failure_.clear();
    remove_unless_kept written(target_);
    if (!CreateEmptyFile(target_)) return Fail(SystemReason(::GetLastError()));
    auto file = NewTransfer(*this, row, window);
    file->single = true;
    file->no_retry = no_retry;
    segment_count_ = 1;

    // The first answer names the length; a later one only has to match it.
    Connection connection;
    for (long attempt = 1;; ++attempt) {
        if (attempt > transfer::ConnectionAttempts(connect_tries)) return Fail(failure_);
        if (connection.Open(url_, L"")) break;
        failure_ = SystemReason(::GetLastError());
        if (no_retry) return Fail(failure_);
        ::Sleep(10);
    }
    const transfer::Answer answer = connection.Answer();
    if (answer.status != 200 && answer.status != 206) return Fail(transfer::HttpStatusReason(answer.status));
    // Without a length the end of the file cannot be told from a broken
    // connection: no size, no file.
    if (!answer.has_length || answer.length < 0)
        return Fail(L" (" + TranslateMain(L"the server sent no length") + L")");
    // The body is not read: its socket goes with the refusal.
    if (RefusesAnnouncedSize(answer.length)) {
        connection.Drop();
        return false;
    }
    size_ = file->size = file->segment_size = answer.length;
    Send(window, UM_FILESIZE, RowParameter(row), static_cast<LPARAM>(size_));
    Send(window, UM_SEGSIZE, RowParameter(row), static_cast<LPARAM>(size_));
    Send(window, UM_FILETHREADS, RowParameter(row), 1);
    if (size_ > 0 && !Fetcher(*file, std::move(connection)).Fetch({0, size_})) {
        file->TakeBackProgress();
        return Fail(file->Failure());
    }
    // A file made just now has no attributes to clear that would matter; this
    // only makes sure of it.
    files::ClearAttributes(target_);
    if (CompletePath() != target_ && !MoveIntoPlace(target_, CompletePath(), true))
        return Fail(SystemReason(::GetLastError()));
    written.keep();
    return true;
}

bool CSegmentedDownloader::DownloadFile(const std::wstring& url, const std::wstring& target, bool no_retry, int row,
                                        HWND window) {
    url_ = url;
    target_ = target;
    failure_.clear();
    if (connections < 2 || no_retry) return DownloadSingle(no_retry, row, window);

    FirstContact contact;
    if (ahead && ahead->url() == url_) contact = ahead->Take();
    if (!contact.asked) contact = AskForFile(url_, connect_tries);
    url_ = contact.url;
    Connection first = std::move(contact.connection);
    const transfer::FirstAnswer answer = contact.answer;
    if (on_first_answer && (answer.Found() || answer.kind == transfer::FirstAnswerKind::NotFound))
        on_first_answer(answer.Found());
    // Nothing was made for a file that is not there. (Under Wine every look
    // for a name that does not exist reads the whole folder.)
    if (!answer.Found())
        return Fail(answer.status ? transfer::HttpStatusReason(answer.status) : SystemReason(answer.error));
    if (RefusesAnnouncedSize(answer.size)) {
        first.Drop();
        return false;
    }
    remove_unless_kept written(CompletePath());
    size_ = answer.size;
    if (answer.kind == transfer::FirstAnswerKind::Empty) {
        Send(window, UM_FILESIZE, RowParameter(row), 0);
        Send(window, UM_SEGSIZE, RowParameter(row), 0);
        if (!CreateEmptyFile(CompletePath())) return Fail(SystemReason(::GetLastError()));
        files::ClearAttributes(CompletePath());  // as for every finished file
        segment_count_ = 1;
        written.keep();
        return true;
    }

    auto file = NewTransfer(*this, row, window);
    file->size = size_;
    // A file that the first answer holds whole is one segment; a larger one
    // is cut by the segment rule.
    const bool one_answer =
        answer.kind == transfer::FirstAnswerKind::WholeBody || size_ <= transfer::kFirstRequestLength;
    file->segment_size = one_answer ? size_ : transfer::SegmentSize(size_, connections);
    file->segment_count = segment_count_ = transfer::SegmentCount(size_, file->segment_size);
    file->plan = std::make_unique<transfer::SegmentPlan>(size_, file->segment_size,
                                                         one_answer ? size_ : transfer::kFirstRequestLength);
    Send(window, UM_FILESIZE, RowParameter(row), static_cast<LPARAM>(size_));
    Send(window, UM_SEGSIZE, RowParameter(row), static_cast<LPARAM>(file->segment_size));

    // The first part file becomes the target when the join works.
    std::int64_t first_part_left = 0;
    auto delete_parts = scope_exit([&] {
        // A part that cannot be deleted now goes with the work directory.
        for (std::int64_t i = first_part_left; i < segment_count_; ++i) files::Delete(PartPath(target_, i));
    });
    for (std::int64_t i = 0; i < segment_count_; ++i)
        if (!CreateEmptyFile(PartPath(target_, i))) return Fail(SystemReason(::GetLastError()));

    std::int64_t reported_threads = -1;  // the first count is always reported
    auto report_threads = [&](std::int64_t running) {
        if (running == reported_threads) return;
        reported_threads = running;
        Send(window, UM_FILETHREADS, RowParameter(row), static_cast<LPARAM>(running));
    };
    // At most the connection count plus one at once, and no more than the segments.
    const std::int64_t lanes = std::min<std::int64_t>(connections + 1, segment_count_);
    if (lanes <= 1) {
        // One connection does it all, on this thread; no other thread waits
        // for it, so it is not counted in the table.
        report_threads(1);
        RunConnection(*file, 0, std::move(first));
        report_threads(0);
    } else {
        file->connection_ended.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        for (std::int64_t lane = 0; lane < lanes && !file->Aborted(); ++lane) {
            auto job = std::make_unique<ConnectionJob>();
            job->file = file;
            {
                std::lock_guard guard(file->plan_lock);
                job->number = lane == 0 ? 0 : file->plan->AddConnection();
            }
            if (lane == 0) job->connection = std::move(first);
            // Counted here rather than in the thread, so the count never
            // depends on how soon the new thread gets to run.
            tv::Add(tv::kRunningThreads, id_, 1);
            // Detached: the handle goes at once, the thread reports through the table.
            unique_handle thread(::CreateThread(nullptr, 0, ConnectionThread, job.get(), 0, nullptr));
            if (!thread) {
                tv::Add(tv::kRunningThreads, id_, -1);
                // Without its first connection nobody reads what it asked for.
                if (lane == 0) file->Abort();
                break;
            }
            job.release();
        }
        // Wait for the last connection, woken as each one ends.
        for (;;) {
            const std::int64_t running = tv::Get(tv::kRunningThreads, id_);
            report_threads(running);
            if (running < 1) break;
            if (file->connection_ended)
                ::WaitForSingleObject(file->connection_ended.get(), 50);
            else
                ::Sleep(50);
        }
    }

    std::optional<std::int64_t> joined;
    if (!file->Aborted()) joined = JoinParts(*file);
    if (joined) first_part_left = 1;
    if (joined != size_) {
        file->TakeBackProgress();
        return Fail(file->Aborted() ? file->Failure() : SystemReason(::GetLastError()));
    }
    files::ClearAttributes(CompletePath());  // as for every finished file
    Send(window, UM_FILEDONE, RowParameter(row), static_cast<LPARAM>(size_));
    written.keep();
    return true;
}

}  // namespace nm
