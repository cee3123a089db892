// portable: builds without Win32
#pragma once
// A cap on the bytes per second of a whole download step: every connection
// of every file takes its bytes from one shared pace, so that an update
// running in the background leaves the rest of the user's link free.
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

namespace nm {

// The pace itself, on a clock the caller gives (microseconds): each read
// books its bytes before it is made and waits until the pace reaches them;
// bytes that did not come are given back. A little credit (a tenth of a
// second of bytes) lets a read that waited on the server catch up, never
// more, so that any span of time sees at most the rate plus that credit.
// The pace may start `opening_bytes` behind: bytes that arrive whatever the
// reader does, such as what a new connection's socket buffers take from the
// server at once.
class RatePacer {
public:
    explicit RatePacer(std::int64_t bytes_per_second, std::int64_t opening_bytes = 0);

    // How long a reader that wants `bytes` at `now` waits before reading.
    std::int64_t DelayBefore(std::int64_t bytes, std::int64_t now_us);
    // Booked bytes that the read did not bring.
    void GiveBack(std::int64_t bytes);
    // The most a single read should ask for, so that no read outruns the pace.
    std::int64_t LargestRead() const;

private:
    std::int64_t bytes_per_second_;
    std::int64_t credit_us_;
    std::int64_t opening_us_;
    std::int64_t paced_until_us_ = -1;  // -1 before the first read: no credit to start with
};

// The pace shared by the connections of one download step.
class DownloadRateCap {
public:
    // No cap (nullptr) for 0 or less.
    static std::shared_ptr<DownloadRateCap> KibPerSecond(long kib_per_second);

    // The step's first connection has its socket buffers filled before
    // anything is read (a few hundred KiB on a fast link): the cap counts
    // them as read, so that the first seconds keep to it too.
    static constexpr std::int64_t kOpeningBurst = 256 * 1024;
    // A receiver opens its window in batches of up to this much, and the
    // server sends each batch at once, so any five seconds on the server's
    // side may hold one batch more than was read: the pace leaves room for it.
    static constexpr std::int64_t kReceiveBatch = 128 * 1024;

    explicit DownloadRateCap(std::int64_t bytes_per_second);
    // Waits on the calling thread until `bytes` more are within the cap.
    void Book(std::int64_t bytes);
    void GiveBack(std::int64_t bytes);
    std::int64_t LargestRead() const { return pacer_.LargestRead(); }

private:
    std::mutex lock_;
    RatePacer pacer_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace nm
