// portable: builds without Win32
#include "ui/progress_percent.h"

#include <algorithm>
#include <cmath>

namespace nm {

namespace {
// States whose status texts report a failure; they leave the label alone.
bool IsErrorState(int state) { return state == 2 || state == 5 || state == 8 || state == 11; }
constexpr int kCheckRemoteOk = 3, kCopyOk = 12, kEnd = 13;
}  // namespace

void ProgressPercent::SetRowSizes(std::vector<std::uint64_t> sizes) {
    std::uint64_t total = 0;
    for (std::uint64_t size : sizes) total += size;
    row_weights_ = total ? std::move(sizes) : std::vector<std::uint64_t>{};
    rows_.assign(row_weights_.size(), Row{});
    total_weight_ = total;
    done_weight_ = 0;
}

void ProgressPercent::OnRowSize(long row, std::uint64_t size) {
    if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return;
    Row& fetched = rows_[static_cast<size_t>(row)];
    done_weight_ -= fetched.done_weight;
    fetched = Row{size, 0};
}

std::optional<std::wstring> ProgressPercent::OnRowBytes(long row, std::uint64_t received) {
    if (!FollowsBytes() || row < 0 || static_cast<size_t>(row) >= rows_.size()) return std::nullopt;
    Row& fetched = rows_[static_cast<size_t>(row)];
    if (fetched.size == 0) return std::nullopt;
    const double part = std::min(1.0, static_cast<double>(received) / static_cast<double>(fetched.size));
    done_weight_ += part * static_cast<double>(row_weights_[static_cast<size_t>(row)]) - fetched.done_weight;
    fetched.done_weight = part * static_cast<double>(row_weights_[static_cast<size_t>(row)]);
    percent_ = std::min(std::floor(done_weight_ / static_cast<double>(total_weight_) * 90 + 10), 100.0);
    return Show();
}

std::optional<std::wstring> ProgressPercent::OnFileBytes(std::uint64_t file_size, std::uint64_t received) {
    if (FollowsBytes()) return std::nullopt;
    // Before the download has counted its files (the list itself is fetched
    // the same way), there is nothing to divide by.
    if (file_size == 0 || entries_ <= 0) return std::nullopt;
    const double file_part = static_cast<double>(received) / static_cast<double>(file_size);
    const double value = (file_part / entries_ + static_cast<double>(done_) / entries_) * 90 + 10;
    percent_ = std::min(std::floor(value), 100.0);
    return Show();
}

std::optional<std::wstring> ProgressPercent::OnStatusText() {
    if (IsErrorState(state_) || state_ < 0 || state_ > kEnd) return std::nullopt;
    if (state_ == kCheckRemoteOk) percent_ = 10;
    if (state_ == kCopyOk || state_ == kEnd) percent_ = 100;
    return Show();
}

std::optional<std::wstring> ProgressPercent::Show() {
    const int whole = static_cast<int>(percent_);
    status_text_ = std::to_wstring(whole) + L"%" + std::wstring(32, L' ');
    if (whole >= 100) {
        shown_ = 100;
        return L"100%";
    }
    if (whole <= shown_) return std::nullopt;
    shown_ = whole;
    return status_text_;
}

}  // namespace nm
