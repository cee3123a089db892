// portable: builds without Win32
#include "download/delta_apply.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "download/delta_format.h"
#include "download/delta_references.h"
#include "download/lzma_stream.h"

namespace nm::delta {

namespace {

bool Fail(std::string& error, const char* why) {
    error = why;
    return false;
}

// The control stream's numbers, read from the stream in blocks or from the
// whole stream unpacked before.
class VarintSource {
public:
    VarintSource(lzma::StreamReader& reader, std::uint64_t size) : reader_(&reader), left_(size) {}
    explicit VarintSource(std::string_view unpacked) : block_(unpacked) {}

    bool Next(std::uint64_t& value) {
        value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (at_ == block_.size() && !Refill()) return false;
            const auto byte = static_cast<std::uint8_t>(block_[at_++]);
            if (shift == 63 && byte > 1) return false;
            value |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
            if (!(byte & 0x80)) return true;
        }
        return false;
    }
    bool Exhausted() const { return left_ == 0 && at_ == block_.size(); }

private:
    bool Refill() {
        if (!reader_ || left_ == 0) return false;
        buffer_.resize(static_cast<size_t>(std::min<std::uint64_t>(left_, 65536)));
        at_ = 0;
        left_ -= buffer_.size();
        block_ = buffer_;
        return reader_->Read(reinterpret_cast<std::uint8_t*>(buffer_.data()), buffer_.size());
    }

    lzma::StreamReader* reader_ = nullptr;
    std::uint64_t left_ = 0;
    std::string buffer_;
    std::string_view block_;
    size_t at_ = 0;
};

std::string_view Part(std::string_view patch, size_t& offset, std::uint64_t size) {
    const std::string_view part = patch.substr(offset, static_cast<size_t>(size));
    offset += static_cast<size_t>(size);
    return part;
}

struct Step {
    std::uint64_t old_from = 0, new_from = 0, added = 0, taken = 0, extra_from = 0;
};

// The control stream's steps, each checked against both versions and the
// diff and extra streams' sizes before it is used.
class StepSource {
public:
    StepSource(lzma::StreamReader& control, const Header& header)
        : numbers_(control, header.control.unpacked), header_(header) {}
    StepSource(std::string_view control_unpacked, const Header& header) : numbers_(control_unpacked), header_(header) {}

    bool Next(Step& step, std::string& error) {
        std::uint64_t seek;
        if (!numbers_.Next(seek) || !numbers_.Next(step.added) || !numbers_.Next(step.taken))
            return Fail(error, "patch is damaged (control)");
        const std::int64_t move = Unzigzag(seek);
        if (move < 0 ? static_cast<std::uint64_t>(-(move + 1)) >= old_position_
                     : static_cast<std::uint64_t>(move) > header_.old_size - old_position_)
            return Fail(error, "patch is damaged (a step seeks outside the old file)");
        old_position_ += static_cast<std::uint64_t>(move);
        if (step.added == 0 && step.taken == 0) return Fail(error, "patch is damaged (an empty step)");
        const std::uint64_t extra_size = header_.new_size - header_.diff.unpacked;
        if (step.added > header_.diff.unpacked - diff_used_ || step.added > header_.old_size - old_position_ ||
            step.taken > extra_size - extra_used_)
            return Fail(error, "patch is damaged (a step runs past its data)");
        step.old_from = old_position_;
        step.new_from = made_;
        step.extra_from = extra_used_;
        old_position_ += step.added;
        diff_used_ += step.added;
        extra_used_ += step.taken;
        made_ += step.added + step.taken;
        return true;
    }
    bool Done() const { return made_ == header_.new_size; }
    bool Exhausted() const { return numbers_.Exhausted(); }

private:
    VarintSource numbers_;
    const Header& header_;
    std::uint64_t made_ = 0, diff_used_ = 0, extra_used_ = 0, old_position_ = 0;
};

// The map from old places to new ones that the steps make, read in a pass of
// its own before any diff byte is used, and the longest run of added bytes.
bool MapSteps(StepSource& steps, const Header& header, ReferencePredictor& predictor, std::uint64_t& longest_run,
              std::string& error) {
    // A step takes at least three bytes of the control stream.
    predictor.ExpectSteps(header.control.unpacked / 3);
    Step step;
    while (!steps.Done()) {
        if (!steps.Next(step, error)) return false;
        predictor.AddMatch(step.old_from, step.new_from, step.added);
        longest_run = std::max(longest_run, step.added);
    }
    predictor.FinishMatches();
    return true;
}

// A control stream up to this size is unpacked once and kept, where the map
// and the steps would otherwise each unpack it.
constexpr std::uint64_t kKeptControl = 16u << 20;

// The new version as it is made, handed on in pieces: a window that always
// holds a whole step's added bytes (the prediction reads and rewrites them
// as one run), so that the result is never in memory whole. Fresh memory is
// dear to fill, and the window is filled again and again instead; the CRC
// and the first bytes, where the new headers lie, are kept on the way.
class Output {
public:
    // `longest_run`: the most bytes Room() will be asked for at once, when
    // known, so that the window is made once.
    Output(const PieceWriter& write, std::uint64_t size, std::uint64_t longest_run)
        : write_(write),
          size_(size),
          longest_run_(longest_run),
          head_(static_cast<size_t>(std::min(size, ReferencePredictor::kHeadersEnd)), '\0') {}

    // Room for `size` (at least 1) bytes at the end, once what came before
    // is handed on where they do not fit; null when it cannot be had, and
    // failure() says why.
    std::uint8_t* Room(std::uint64_t size) {
        // Handed on while still in the cache, and always before it must grow.
        if (filled_ >= kHandOnAt || filled_ + size > capacity_) {
            if (!Flush()) return nullptr;
            if (size > capacity_) {
                // Not zeroed: every byte is made before it is read.
                const std::uint64_t capacity = std::max({size, longest_run_, std::min(size_, kSmallestWindow)});
                window_.reset(new (std::nothrow) std::uint8_t[static_cast<size_t>(capacity)]);
                capacity_ = window_ ? static_cast<size_t>(capacity) : 0;
                if (!window_) return Failed("not enough memory for the patched file");
            }
        }
        return window_.get() + filled_;
    }
    // The `size` bytes at Room() are made.
    void Made(std::uint64_t size) {
        if (position_ < head_.size())
            std::memcpy(head_.data() + position_, window_.get() + filled_,
                        static_cast<size_t>(std::min<std::uint64_t>(size, head_.size() - position_)));
        filled_ += static_cast<size_t>(size);
        position_ += size;
    }
    bool Flush() {
        if (filled_ == 0) return true;
        const std::string_view piece(reinterpret_cast<const char*>(window_.get()), filled_);
        crc_ = lzma::Crc64(piece, crc_);
        filled_ = 0;
        return write_(piece) || Failed("the patched file cannot be written");
    }
    std::string_view head() const { return head_; }
    std::uint64_t crc() const { return crc_; }
    const char* failure() const { return failure_; }

private:
    static constexpr std::uint64_t kSmallestWindow = 1u << 20;
    static constexpr size_t kHandOnAt = 256u << 10;
    std::nullptr_t Failed(const char* why) {
        failure_ = why;
        return nullptr;
    }

    const PieceWriter& write_;
    const std::uint64_t size_, longest_run_;
    std::string head_;
    std::unique_ptr<std::uint8_t[]> window_;
    size_t capacity_ = 0, filled_ = 0;
    std::uint64_t position_ = 0, crc_ = 0;
    const char* failure_ = "";
};

}  // namespace

bool ApplyPatch(std::string_view old_file, std::string_view patch, std::uint64_t expected_size,
                const PieceWriter& write, std::string& error) {
    Header header;
    if (!ParseHeader(patch, header, error)) return false;
    if (header.new_size != expected_size) return Fail(error, "patch makes a file of another size");
    if (header.old_size != old_file.size() || header.old_crc != lzma::Crc64(old_file))
        return Fail(error, "patch is for another version of the file");
    size_t offset = kHeaderSize;
    const std::string_view control_bytes = Part(patch, offset, header.control.packed);
    const std::string_view diff_bytes = Part(patch, offset, header.diff.packed);
    const std::string_view extra_bytes = Part(patch, offset, header.extra.packed);

    const auto* old_data = reinterpret_cast<const std::uint8_t*>(old_file.data());
    lzma::StreamReader control, map_control, diff, extra;
    if (!control.Open(control_bytes, header.control.dictionary) || !diff.Open(diff_bytes, header.diff.dictionary) ||
        !extra.Open(extra_bytes, header.extra.dictionary))
        return Fail(error, "out of memory for the patch");
    std::string kept;
    const bool keeps = header.control.unpacked <= kKeptControl;
    if (keeps) {
        kept.resize(static_cast<size_t>(header.control.unpacked));
        if (!control.Read(reinterpret_cast<std::uint8_t*>(kept.data()), kept.size()) || !control.AtEnd())
            return Fail(error, "patch is damaged (control)");
    }
    ReferencePredictor predictor(old_file, header.new_size);
    std::uint64_t longest_run = 0;
    if (header.predicts_references) {
        if (!keeps && !map_control.Open(control_bytes, header.control.dictionary))
            return Fail(error, "out of memory for the patch");
        StepSource map_steps = keeps ? StepSource(kept, header) : StepSource(map_control, header);
        if (!MapSteps(map_steps, header, predictor, longest_run, error)) return false;
    }
    Output output(write, header.new_size, longest_run);
    constexpr std::uint64_t kExtraPiece = 1u << 16;
    StepSource steps = keeps ? StepSource(kept, header) : StepSource(control, header);
    Step step;
    while (!steps.Done()) {
        if (!steps.Next(step, error)) return false;
        if (step.added > 0) {
            std::uint8_t* at = output.Room(step.added);
            if (!at) return Fail(error, output.failure());
            if (!diff.Read(at, static_cast<size_t>(step.added))) return Fail(error, "patch is damaged (diff bytes)");
            for (std::uint64_t i = 0; i < step.added; ++i) at[i] += old_data[step.old_from + i];
            // The headers the prediction reads are final before it does.
            output.Made(step.added);
            if (header.predicts_references)
                predictor.AdjustStep(step.old_from, step.new_from, step.added, at, +1, output.head());
        }
        for (std::uint64_t left = step.taken; left > 0;) {
            const std::uint64_t piece = std::min(left, kExtraPiece);
            std::uint8_t* into = output.Room(piece);
            if (!into) return Fail(error, output.failure());
            if (!extra.Read(into, static_cast<size_t>(piece))) return Fail(error, "patch is damaged (extra bytes)");
            output.Made(piece);
            left -= piece;
        }
    }
    if (!steps.Exhausted() || !control.AtEnd() || !diff.AtEnd() || !extra.AtEnd())
        return Fail(error, "patch is damaged (data past the last step)");
    if (!output.Flush()) return Fail(error, output.failure());
    // The streams carry no check of their own: this one finds a damage that
    // still decodes.
    if (output.crc() != header.new_crc) return Fail(error, "patch is damaged (the result does not match)");
    return true;
}

bool ApplyPatch(std::string_view old_file, std::string_view patch, std::uint64_t expected_size, std::string& new_file,
                std::string& error) {
    new_file.clear();
    try {
        return ApplyPatch(
            old_file, patch, expected_size,
            [&](std::string_view piece) {
                new_file.append(piece);
                return true;
            },
            error);
    } catch (const std::bad_alloc&) {
        return Fail(error, "not enough memory for the patched file");
    }
}

}  // namespace nm::delta
