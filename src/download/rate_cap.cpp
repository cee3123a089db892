// portable: builds without Win32
#include "download/rate_cap.h"

#include <algorithm>
#include <thread>

namespace nm {

namespace {
constexpr std::int64_t kMicroseconds = 1'000'000;
constexpr std::int64_t kSmallestRead = 1024;
}  // namespace

RatePacer::RatePacer(std::int64_t bytes_per_second, std::int64_t opening_bytes)
    : bytes_per_second_(std::max<std::int64_t>(bytes_per_second, 1)),
      credit_us_(kMicroseconds / 10),
      opening_us_(opening_bytes * kMicroseconds / bytes_per_second_) {}

std::int64_t RatePacer::DelayBefore(std::int64_t bytes, std::int64_t now_us) {
    // Unused time before now counts as credit only up to its limit.
    paced_until_us_ = paced_until_us_ < 0 ? now_us + opening_us_ : std::max(paced_until_us_, now_us - credit_us_);
    paced_until_us_ += bytes * kMicroseconds / bytes_per_second_;
    return std::max<std::int64_t>(paced_until_us_ - now_us, 0);
}

void RatePacer::GiveBack(std::int64_t bytes) { paced_until_us_ -= bytes * kMicroseconds / bytes_per_second_; }

std::int64_t RatePacer::LargestRead() const { return std::max(bytes_per_second_ / 10, kSmallestRead); }

std::shared_ptr<DownloadRateCap> DownloadRateCap::KibPerSecond(long kib_per_second) {
    if (kib_per_second <= 0) return nullptr;
    return std::make_shared<DownloadRateCap>(static_cast<std::int64_t>(kib_per_second) * 1024);
}

DownloadRateCap::DownloadRateCap(std::int64_t bytes_per_second)
    : pacer_(std::max(bytes_per_second - kReceiveBatch / 5, bytes_per_second / 2), kOpeningBurst) {}

void DownloadRateCap::Book(std::int64_t bytes) {
    std::int64_t delay_us = 0;
    {
        std::lock_guard guard(lock_);
        const auto now = std::chrono::steady_clock::now() - start_;
        delay_us = pacer_.DelayBefore(bytes, std::chrono::duration_cast<std::chrono::microseconds>(now).count());
    }
    // Waited outside the lock: the other connections go on taking their turns.
    if (delay_us > 0) std::this_thread::sleep_for(std::chrono::microseconds(delay_us));
}

void DownloadRateCap::GiveBack(std::int64_t bytes) {
    if (bytes <= 0) return;
    std::lock_guard guard(lock_);
    pacer_.GiveBack(bytes);
}

}  // namespace nm
