// portable: builds without Win32
#include "download/delta_make.h"

#include <divsufsort.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "download/delta_references.h"
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

// Among equally long matches, the one nearest the old place that continues
// the current alignment is looked for this many suffixes either way: a near
// one makes a short seek and keeps the map of moved code smooth.
constexpr Index kNearbyCandidates = 16;

// The longest match of new[from...] among the old suffixes, by binary search
// over the suffix array; its length, with its old position in `position`,
// the one nearest `expected` where several match as long.
Index LongestMatch(const std::vector<saidx_t>& suffixes, const Texts& t, Index from, Index expected, Index& position) {
    const std::uint8_t* wanted = t.new_data + from;
    const Index wanted_size = t.new_size - from;
    const Index count = static_cast<Index>(suffixes.size());
    Index low = 0, high = count - 1;
    while (high - low >= 2) {
        const Index middle = low + (high - low) / 2;
        const Index at = suffixes[middle];
        const Index length = std::min(t.old_size - at, wanted_size);
        if (std::memcmp(t.old_data + at, wanted, static_cast<size_t>(length)) < 0)
            low = middle;
        else
            high = middle;
    }
    auto length_at = [&](Index rank) {
        return MatchLength(t.old_data + suffixes[rank], t.old_size - suffixes[rank], wanted, wanted_size);
    };
    const Index low_length = length_at(low), high_length = length_at(high);
    const Index rank = low_length >= high_length ? low : high;
    const Index length = std::max(low_length, high_length);
    position = suffixes[rank];
    // The scan below takes no match this short.
    if (length <= 8) return length;
    auto distance = [expected](Index at) { return at > expected ? at - expected : expected - at; };
    for (Index other = std::max<Index>(0, rank - kNearbyCandidates);
         other <= std::min(count - 1, rank + kNearbyCandidates); ++other)
        if (distance(suffixes[other]) < distance(position) && length_at(other) >= length) position = suffixes[other];
    return length;
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
            length = LongestMatch(suffixes, t, scan, scan + last_offset, position);
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

// The diff stream is mostly zeros, and what is not repeats nearby: a
// dictionary past 1 MiB packs it no smaller (measured within 0.1%), and a
// small one keeps the applier from writing every byte twice into fresh
// memory, the dictionary's and the result's.
constexpr std::uint32_t kDiffDictionary = 1u << 20;

// The steps of our own control stream, each as (old from, new from, added).
template <typename Visit>
void ForEachAdd(std::string_view control, Visit visit) {
    std::uint64_t old_position = 0, made = 0, seek, added, taken;
    while (TakeVarint(control, seek) && TakeVarint(control, added) && TakeVarint(control, taken)) {
        old_position += static_cast<std::uint64_t>(Unzigzag(seek));
        visit(old_position, made, added);
        old_position += added;
        made += added + taken;
    }
}

// The map of moved code that the steps of `control` make.
ReferencePredictor MapOf(std::string_view old_file, std::uint64_t new_size, std::string_view control) {
    ReferencePredictor predictor(old_file, new_size);
    ForEachAdd(control, [&](std::uint64_t old_from, std::uint64_t new_from, std::uint64_t added) {
        predictor.AddMatch(old_from, new_from, added);
    });
    predictor.FinishMatches();
    return predictor;
}

// Turns `diff` into the difference against the old bytes with references
// predicted (delta_references.h), or with `sign` +1 back again; each way
// takes a predictor of its own, which reads the new headers when it reaches
// them.
void ShiftPrediction(std::string_view old_file, std::string_view new_head, std::uint64_t new_size,
                     std::string_view control, int sign, std::string& diff) {
    ReferencePredictor predictor = MapOf(old_file, new_size, control);
    std::uint64_t diff_used = 0;
    ForEachAdd(control, [&](std::uint64_t old_from, std::uint64_t new_from, std::uint64_t added) {
        predictor.AdjustStep(old_from, new_from, added, reinterpret_cast<std::uint8_t*>(diff.data()) + diff_used, sign,
                             new_head);
        diff_used += added;
    });
}

// Predicts references in `diff` where that leaves fewer bytes to pack: what
// is not zero is what costs, so the diff is packed once, in the form kept.
// False when the plain diff stays.
bool PredictReferences(std::string_view old_file, std::string_view new_head, std::uint64_t new_size,
                       std::string_view control, std::string& diff) {
    const auto not_zero = [&] { return diff.size() - static_cast<size_t>(std::count(diff.begin(), diff.end(), '\0')); };
    const size_t plain_cost = not_zero();
    ShiftPrediction(old_file, new_head, new_size, control, -1, diff);
    if (not_zero() < plain_cost) return true;
    ShiftPrediction(old_file, new_head, new_size, control, +1, diff);
    return false;
}

bool PackStream(const std::string& stream, std::uint32_t largest_dictionary, StreamSize& size, std::string& packed) {
    size.unpacked = stream.size();
    size.dictionary = lzma::DictionaryFor(stream.size(), largest_dictionary);
    const size_t before = packed.size();
    if (!lzma::Pack(stream, size.dictionary, packed)) return false;
    size.packed = packed.size() - before;
    return true;
}

bool MakePatchInMemory(std::string old_file, std::string new_file, std::string& patch, std::string& error,
                       bool plain_only) {
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
    const std::string new_head = new_file.substr(0, static_cast<size_t>(ReferencePredictor::kHeadersEnd));
    new_file = std::string();
    std::string control, diff, extra;
    if (!PackStream(streams.control, kMaximumDictionary, header.control, control) ||
        !PackStream(streams.extra, kMaximumDictionary, header.extra, extra)) {
        error = "out of memory while packing the patch";
        return false;
    }
    streams.extra = std::string();
    // Predicting references pays on machine code only.
    header.predicts_references =
        !plain_only && PredictReferences(old_file, new_head, header.new_size, streams.control, streams.diff);
    old_file = std::string();
    if (!PackStream(streams.diff, kDiffDictionary, header.diff, diff)) {
        error = "out of memory while packing the patch";
        return false;
    }
    patch = HeaderBytes(header) + control + diff + extra;
    return true;
}

}  // namespace

bool MakePatch(std::string old_file, std::string new_file, std::string& patch, std::string& error, bool plain_only) {
    // The library reports a lack of memory by exception, which stops here.
    try {
        return MakePatchInMemory(std::move(old_file), std::move(new_file), patch, error, plain_only);
    } catch (const std::bad_alloc&) {
        error = "not enough memory to make the patch";
        return false;
    }
}

}  // namespace nm::delta
