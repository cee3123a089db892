#pragma once
// One URL into one local file over several ranged HTTP connections: a first
// request that also names the size, connections that work through the
// segments and take over each other's rest, ".part%d" files joined in
// order, and progress messages to a window. Shared counters live in the
// thread value table under the file's id.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "services/window_messages.h"

namespace nm {

class DownloadRateCap;
class FirstRequestAhead;

class CSegmentedDownloader {
public:
    CSegmentedDownloader();
    CSegmentedDownloader(const CSegmentedDownloader&) = delete;
    CSegmentedDownloader& operator=(const CSegmentedDownloader&) = delete;

    // True when the target (or `complete_path`, when set) holds exactly the
    // remote size, its attributes set to normal. A no-retry call, or fewer than two connections, fetches over
    // one connection on this thread.
    bool DownloadFile(const std::wstring& url, const std::wstring& target, bool no_retry, int row, HWND window);
    // Called from another thread: the download's connections stop at their
    // next block and DownloadFile fails.
    void Abort();

    int id() const { return id_; }
    std::int64_t size() const { return size_; }
    std::int64_t segment_count() const { return segment_count_; }
    const std::wstring& url() const { return url_; }
    const std::wstring& target() const { return target_; }
    const std::wstring& CompletePath() const { return complete_path.empty() ? target_ : complete_path; }

    // Connections per file: 8 unless the caller changes it.
    int connections = 8;
    // Connection attempts of the size query and of each segment (the
    // ConnectTryCount setting).
    long connect_tries = 3;
    // Told the file's size and bytes received after every block, besides the
    // window's own messages (the host windows follow downloads this way).
    std::function<void(std::int64_t size, std::int64_t received)> on_file_bytes;
    // Where the complete file is put when that is not the target itself; the
    // part files keep the target's name. A caller that would rename the file
    // at once spares the file system one new name this way.
    std::wstring complete_path;
    // The pace the download's connections read at; none when uncapped.
    DownloadRateCap* rate_cap = nullptr;
    // The most bytes the file may have (its size in the list, a patch's
    // size, a bound for the list itself); below 0 none. A server that
    // announces more fails the file before anything is written, as does a
    // file larger than its volume's free space.
    std::int64_t size_limit = -1;
    // A first request already on its way for this download's address.
    FirstRequestAhead* ahead = nullptr;
    // Told, before any transfer, whether the server has the file (true) or
    // said it has none (false); not told after other failures.
    std::function<void(bool found)> on_first_answer;

    // Why the last DownloadFile failed, to append to its log line: the
    // server's status (" (HTTP 404)") or the system's error.
    const std::wstring& failure() const { return failure_; }

private:
    bool DownloadSingle(bool no_retry, int row, HWND window);

    bool Fail(std::wstring reason);
    // True, with the failure said, when the announced size is refused.
    bool RefusesAnnouncedSize(std::int64_t announced);

    int id_;
    std::wstring failure_;
    std::int64_t size_ = 0;
    std::int64_t segment_count_ = 0;
    std::wstring url_;
    std::wstring target_;
};

}  // namespace nm
