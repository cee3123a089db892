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

std::optional<std::wstring> ProgressPercent::OnFileBytes(std::uint64_t file_size, std::uint64_t received) {
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
