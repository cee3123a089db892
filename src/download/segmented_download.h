#pragma once
// One URL into one local file over several ranged HTTP connections: the
// size query, one thread per segment with a throttle, ".part%d" files joined
// in order, and progress messages to a window. Shared counters live in the
// thread value table under the file's id.
#include <windows.h>

#include <cstdint>
#include <string>

namespace nm {

// Progress-window messages (sent with SendMessageW).
constexpr UINT UM_FILESIZE = 1044;     // row, file size
constexpr UINT UM_FILEDONE = 1045;     // row, bytes of the file received
constexpr UINT UM_FILETHREADS = 1046;  // row, segment threads running
constexpr UINT UM_SEGDONE = 1068;      // (segment << 16) | (row & 0xFFFF), bytes of that segment
constexpr UINT UM_SEGSIZE = 1069;      // row, segment size

class CSegmentedDownloader {
public:
    CSegmentedDownloader();
    CSegmentedDownloader(const CSegmentedDownloader&) = delete;
    CSegmentedDownloader& operator=(const CSegmentedDownloader&) = delete;

    // True when the target holds exactly the remote size. A no-retry call, or
    // fewer than two connections, fetches over one connection on this thread.
    bool DownloadFile(const std::wstring& url, const std::wstring& target, bool no_retry, int row, HWND window);

    int id() const { return id_; }
    std::int64_t size() const { return size_; }
    std::int64_t segment_count() const { return segment_count_; }
    const std::wstring& url() const { return url_; }
    const std::wstring& target() const { return target_; }

    // Connections per file: 8 unless the caller changes it.
    int connections = 8;

private:
    bool DownloadSingle(bool no_retry, int row, HWND window);

    int id_;
    std::int64_t size_ = 0;
    std::int64_t segment_count_ = 0;
    std::wstring url_;
    std::wstring target_;
};

}  // namespace nm
