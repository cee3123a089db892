// portable: builds without Win32
#include "download/delta_make.h"

#include <divsufsort.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "download/lzma_stream.h"

namespace nm::delta {

namespace {

using Index = std::int64_t;

struct Texts {
    const std::uint8_t* old_data;
    Index old_size;
    const std::uint8_t* new_data;
    Index new_size;
};

Index MatchLength(const std::uint8_t* a, Index a_size, const std::uint8_t* b, Index b_size) {
    const Index limit = std::min(a_size, b_size);
    Index i = 0;
    while (i < limit && a[i] == b[i]) ++i;
    return i;
}

// The longest match of new[from...] among the old suffixes, by binary search
// over the suffix array; its length, with its old position in `position`.
Index LongestMatch(const std::vector<saidx_t>& suffixes, const Texts& t, Index from, Index& position) {
    const std::uint8_t* wanted = t.new_data + from;
    const Index wanted_size = t.new_size - from;
    Index low = 0, high = static_cast<Index>(suffixes.size()) - 1;
    while (high - low >= 2) {
        const Index middle = low + (high - low) / 2;
        const Index at = suffixes[middle];
        const Index length = std::min(t.old_size - at, wanted_size);
        if (std::memcmp(t.old_data + at, wanted, static_cast<size_t>(length)) < 0)
            low = middle;
        else
            high = middle;
    }
    const Index low_length = MatchLength(t.old_data + suffixes[low], t.old_size - suffixes[low], wanted, wanted_size);
    const Index high_length =
        MatchLength(t.old_data + suffixes[high], t.old_size - suffixes[high], wanted, wanted_size);
    if (low_length >= high_length) {
        position = suffixes[low];
        return low_length;
    }
    position = suffixes[high];
    return high_length;
}

class StepWriter {
public:
    StepWriter(const Texts& t, Streams& streams) : t_(t), s_(streams) {}

    // New bytes [new_from, new_from + added) as differences against the old
    // ones from old_from, then `taken` bytes as they are.
    void Step(Index new_from, Index old_from, Index added, Index taken) {
        if (added == 0 && taken == 0) return;
        AppendVarint(Zigzag(old_from - old_position_), s_.control);
        AppendVarint(static_cast<std::uint64_t>(added), s_.control);
        AppendVarint(static_cast<std::uint64_t>(taken), s_.control);
        for (Index i = 0; i < added; ++i)
            s_.diff.push_back(static_cast<char>(t_.new_data[new_from + i] - t_.old_data[old_from + i]));
        s_.extra.append(reinterpret_cast<const char*>(t_.new_data + new_from + added), static_cast<size_t>(taken));
        old_position_ = old_from + added;
    }

private:
    const Texts& t_;
    Streams& s_;
    Index old_position_ = 0;
};

}  // namespace

bool DiffStreams(std::string_view old_file, std::string_view new_file, Streams& streams) {
    if (old_file.size() >= kMaximumOldSize) return false;
    const Texts t{reinterpret_cast<const std::uint8_t*>(old_file.data()), static_cast<Index>(old_file.size()),
                  reinterpret_cast<const std::uint8_t*>(new_file.data()), static_cast<Index>(new_file.size())};
    streams = Streams{};
    // Reserved, not touched: only what is written takes memory, and nothing is copied as they grow.
    streams.diff.reserve(new_file.size());
    streams.extra.reserve(new_file.size());
    StepWriter writer(t, streams);
    if (t.old_size == 0) {
        writer.Step(0, 0, 0, t.new_size);
        return true;
    }
    std::vector<saidx_t> suffixes(static_cast<size_t>(t.old_size));
    if (divsufsort(t.old_data, suffixes.data(), static_cast<saidx_t>(t.old_size)) != 0) return false;

    // bsdiff's scan: a match is taken once it is longer by more than 8 than
    // what simply continuing the current alignment would match.
    Index scan = 0, length = 0, position = 0;
    Index last_scan = 0, last_position = 0, last_offset = 0;
    while (scan < t.new_size) {
        Index old_score = 0;
        Index counted = scan += length;
        for (; scan < t.new_size; ++scan) {
            length = LongestMatch(suffixes, t, scan, position);
            for (; counted < scan + length; ++counted)
                if (counted + last_offset < t.old_size && t.old_data[counted + last_offset] == t.new_data[counted])
                    ++old_score;
            if ((length == old_score && length != 0) || length > old_score + 8) break;
            if (scan + last_offset < t.old_size && t.old_data[scan + last_offset] == t.new_data[scan]) --old_score;
        }
        if (length == old_score && scan != t.new_size) continue;

        // Extend the previous match forward and this one backward while at
        // least half the bytes agree; split their overlap where it scores best.
        Index forward = 0;
        {
            Index score = 0, best = 0;
            for (Index i = 0; last_scan + i < scan && last_position + i < t.old_size;) {
                if (t.old_data[last_position + i] == t.new_data[last_scan + i]) ++score;
                ++i;
                if (score * 2 - i > best * 2 - forward) {
                    best = score;
                    forward = i;
                }
            }
        }
        Index backward = 0;
        if (scan < t.new_size) {
            Index score = 0, best = 0;
            for (Index i = 1; scan >= last_scan + i && position >= i; ++i) {
                if (t.old_data[position - i] == t.new_data[scan - i]) ++score;
                if (score * 2 - i > best * 2 - backward) {
                    best = score;
                    backward = i;
                }
            }
        }
        if (last_scan + forward > scan - backward) {
            const Index overlap = (last_scan + forward) - (scan - backward);
            Index score = 0, best = 0, keep = 0;
            for (Index i = 0; i < overlap; ++i) {
                if (t.new_data[last_scan + forward - overlap + i] == t.old_data[last_position + forward - overlap + i])
                    ++score;
                if (t.new_data[scan - backward + i] == t.old_data[position - backward + i]) --score;
                if (score > best) {
                    best = score;
                    keep = i + 1;
                }
            }
            forward += keep - overlap;
            backward -= keep;
        }
        writer.Step(last_scan, last_position, forward, (scan - backward) - (last_scan + forward));
        last_scan = scan - backward;
        last_position = position - backward;
        last_offset = position - scan;
    }
    return true;
}

namespace {

bool MakePatchInMemory(std::string old_file, std::string new_file, std::string& patch, std::string& error) {
    if (old_file.size() >= kMaximumOldSize) {
        error = "the earlier version is too large for a patch";
        return false;
    }
    Header header;
    header.old_size = old_file.size();
    header.old_crc = lzma::Crc64(old_file);
    header.new_size = new_file.size();
    header.new_crc = lzma::Crc64(new_file);
    Streams streams;
    if (!DiffStreams(old_file, new_file, streams)) {
        error = "out of memory while comparing the versions";
        return false;
    }
    old_file = std::string();
    new_file = std::string();
    std::string packed;
    const std::pair<StreamSize*, const std::string*> parts[] = {
        {&header.control, &streams.control}, {&header.diff, &streams.diff}, {&header.extra, &streams.extra}};
    for (const auto& [size, stream] : parts) {
        size->unpacked = stream->size();
        size->dictionary = lzma::DictionaryFor(stream->size(), kMaximumDictionary);
        const size_t before = packed.size();
        if (!lzma::Pack(*stream, size->dictionary, packed)) {
            error = "out of memory while packing the patch";
            return false;
        }
        size->packed = packed.size() - before;
    }
    patch = HeaderBytes(header) + packed;
    return true;
}

}  // namespace

bool MakePatch(std::string old_file, std::string new_file, std::string& patch, std::string& error) {
    // The library reports a lack of memory by exception, which stops here.
    try {
        return MakePatchInMemory(std::move(old_file), std::move(new_file), patch, error);
    } catch (const std::bad_alloc&) {
        error = "not enough memory to make the patch";
        return false;
    }
}

}  // namespace nm::delta
