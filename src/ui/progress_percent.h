// portable: builds without Win32
#pragma once
// The one percentage the progress window shows, made from the messages the
// steps send to host windows. The label never goes backwards.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nm {

class ProgressPercent {
public:
    // The update state (message 1974): the label follows it at once, since
    // a step's last status text may come before its final state.
    std::optional<std::wstring> OnState(int state) {
        state_ = state;
        return OnStatusText();
    }
    // The download counts (1976).
    void SetCounts(long done, long entries) {
        done_ = done;
        entries_ = entries;
    }
    // Bytes of the file being fetched (1978). Returns the label's new text,
    // or nothing when the label stays as it is.
    std::optional<std::wstring> OnFileBytes(std::uint64_t file_size, std::uint64_t received);
    // The whole files' sizes the list gives, one per row of the download (0
    // for a row that fetches nothing); empty when a file's size is not known.
    // With them the download's share of the label follows bytes, each row
    // weighted by its file's size, not finished files.
    void SetRowSizes(std::vector<std::uint64_t> sizes);
    // The size of what a row fetches (the file or its archive) and the bytes
    // of it received so far (the download's own row messages).
    void OnRowSize(long row, std::uint64_t size);
    std::optional<std::wstring> OnRowBytes(long row, std::uint64_t received);
    // A status text arrived (1040): the state decides.
    std::optional<std::wstring> OnStatusText();

    int Shown() const { return shown_; }
    int State() const { return state_; }
    // "43%" and 32 spaces: what the window keeps as its status text.
    const std::wstring& StatusText() const { return status_text_; }

private:
    std::optional<std::wstring> Show();

    bool FollowsBytes() const { return !row_weights_.empty(); }

    struct Row {
        std::uint64_t size = 0;
        double done_weight = 0;  // its weight times the share received
    };
    std::vector<std::uint64_t> row_weights_;  // empty: by finished files
    std::vector<Row> rows_;
    std::uint64_t total_weight_ = 0;
    double done_weight_ = 0;
    int state_ = 0;
    long done_ = 0, entries_ = 0;
    double percent_ = 1.0;
    int shown_ = 0;
    std::wstring status_text_;
};

}  // namespace nm
