// portable: builds without Win32
#include "download/delta_apply.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "download/delta_format.h"
#include "download/lzma_stream.h"

namespace nm::delta {

namespace {

bool Fail(std::string& error, const char* why) {
    error = why;
    return false;
}

// The control stream's numbers, read in blocks.
class VarintSource {
public:
    VarintSource(lzma::StreamReader& reader, std::uint64_t size) : reader_(reader), left_(size) {}

    bool Next(std::uint64_t& value) {
        value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (at_ == block_.size() && !Refill()) return false;
            const std::uint8_t byte = block_[at_++];
            if (shift == 63 && byte > 1) return false;
            value |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
            if (!(byte & 0x80)) return true;
        }
        return false;
    }
    bool Exhausted() const { return left_ == 0 && at_ == block_.size(); }

private:
    bool Refill() {
        if (left_ == 0) return false;
        block_.resize(static_cast<size_t>(std::min<std::uint64_t>(left_, 65536)));
        at_ = 0;
        left_ -= block_.size();
        return reader_.Read(block_.data(), block_.size());
    }

    lzma::StreamReader& reader_;
    std::uint64_t left_;
    std::vector<std::uint8_t> block_;
    size_t at_ = 0;
};

std::string_view Part(std::string_view patch, size_t& offset, std::uint64_t size) {
    const std::string_view part = patch.substr(offset, static_cast<size_t>(size));
    offset += static_cast<size_t>(size);
    return part;
}

}  // namespace

bool ApplyPatch(std::string_view old_file, std::string_view patch, std::uint64_t expected_size, std::string& new_file,
                std::string& error) {
    Header header;
    if (!ParseHeader(patch, header, error)) return false;
    if (header.new_size != expected_size) return Fail(error, "patch makes a file of another size");
    if (header.old_size != old_file.size() || header.old_crc != lzma::Crc64(old_file))
        return Fail(error, "patch is for another version of the file");
    size_t offset = kHeaderSize;
    const std::string_view control_bytes = Part(patch, offset, header.control.packed);
    const std::string_view diff_bytes = Part(patch, offset, header.diff.packed);
    const std::string_view extra_bytes = Part(patch, offset, header.extra.packed);

    const std::uint64_t size = header.new_size;
    const std::uint64_t diff_size = header.diff.unpacked;
    // The one allocation of the result's size; the library reports a lack of
    // memory by exception, which stops here.
    try {
        new_file.assign(static_cast<size_t>(size), '\0');
    } catch (const std::bad_alloc&) {
        return Fail(error, "not enough memory for the patched file");
    }
    auto* out = reinterpret_cast<std::uint8_t*>(new_file.data());
    // The extra bytes go to the end of the output first; the steps then move
    // them forward to their places, and the output never overtakes them.
    {
        lzma::StreamReader extra;
        if (!extra.Open(extra_bytes, header.extra.dictionary)) return Fail(error, "out of memory for the patch");
        if (!extra.Read(out + diff_size, static_cast<size_t>(size - diff_size)) || !extra.AtEnd())
            return Fail(error, "patch is damaged (extra bytes)");
    }
    const auto* old_data = reinterpret_cast<const std::uint8_t*>(old_file.data());
    const std::uint64_t old_size = old_file.size();

    lzma::StreamReader control, diff;
    if (!control.Open(control_bytes, header.control.dictionary) || !diff.Open(diff_bytes, header.diff.dictionary))
        return Fail(error, "out of memory for the patch");
    VarintSource steps(control, header.control.unpacked);
    std::uint64_t made = 0, diff_used = 0, extra_used = 0, old_position = 0;
    while (made < size) {
        std::uint64_t seek, added, taken;
        if (!steps.Next(seek) || !steps.Next(added) || !steps.Next(taken))
            return Fail(error, "patch is damaged (control)");
        const std::int64_t move = Unzigzag(seek);
        if (move < 0 ? static_cast<std::uint64_t>(-(move + 1)) >= old_position
                     : static_cast<std::uint64_t>(move) > old_size - old_position)
            return Fail(error, "patch is damaged (a step seeks outside the old file)");
        old_position += static_cast<std::uint64_t>(move);
        if (added == 0 && taken == 0) return Fail(error, "patch is damaged (an empty step)");
        if (added > diff_size - diff_used || added > old_size - old_position || taken > (size - diff_size) - extra_used)
            return Fail(error, "patch is damaged (a step runs past its data)");
        if (!diff.Read(out + made, static_cast<size_t>(added))) return Fail(error, "patch is damaged (diff bytes)");
        for (std::uint64_t i = 0; i < added; ++i) out[made + i] += old_data[old_position + i];
        made += added;
        diff_used += added;
        old_position += added;
        std::memmove(out + made, out + diff_size + extra_used, static_cast<size_t>(taken));
        made += taken;
        extra_used += taken;
    }
    if (!steps.Exhausted() || !control.AtEnd() || !diff.AtEnd())
        return Fail(error, "patch is damaged (data past the last step)");
    // The streams carry no check of their own: this one finds a damage that
    // still decodes.
    if (lzma::Crc64(new_file) != header.new_crc) return Fail(error, "patch is damaged (the result does not match)");
    return true;
}

}  // namespace nm::delta
