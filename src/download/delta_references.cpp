// portable: builds without Win32
#include "download/delta_references.h"

#include <algorithm>
#include <array>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace nm::delta {

namespace {

// Runs shorter than this are left out of the map.
constexpr std::uint64_t kMinimumMatch = 8;
// At most this many runs (24 bytes each) go into the map.
constexpr int kPageBits = 12;
constexpr size_t kMaximumMatches = size_t{1} << 19;

std::uint32_t Little32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

std::uint64_t Little64(const std::uint8_t* at) {
    return std::uint64_t{Little32(at)} | std::uint64_t{Little32(at + 4)} << 32;
}

// Adds (sign +1) or subtracts the change from `old_value` to `predicted`, byte
// by byte as the diff counts, to the `width` bytes at `bytes`.
void AddChange(std::uint64_t old_value, std::uint64_t predicted, int width, int sign, std::uint8_t* bytes) {
    for (int k = 0; k < width; ++k) {
        const auto change = static_cast<std::uint8_t>((predicted >> 8 * k) - (old_value >> 8 * k));
        bytes[k] = static_cast<std::uint8_t>(bytes[k] + (sign > 0 ? change : -change));
    }
}

// Where a relative 32-bit field may follow an instruction's first two bytes,
// counted from the first: after E8 call and E9 jmp at once (1); after a
// conditional jump 0F 8x, or after a one-byte operation whose ModRM byte says
// RIP-relative (2); after 0F and an operation whose ModRM byte comes third,
// when it says so (kModrmThird). 0 where none may follow.
constexpr std::uint8_t kModrmThird = 3;

bool IsRipRelative(std::uint8_t modrm) { return (modrm & 0xc7) == 0x05; }

bool TakesModrm(int op) {
    if (op <= 0x3b) return (op & 7) < 4;  // add, or, adc, sbb, and, sub, xor, cmp
    for (int listed :
         {0x63, 0x69, 0x6b, 0x80, 0x81, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x8b, 0x8d, 0xc6, 0xc7,
          0xd0, 0xd1, 0xd2, 0xd3, 0xd8, 0xd9, 0xda, 0xdb, 0xdc, 0xdd, 0xde, 0xdf, 0xf6, 0xf7, 0xfe, 0xff})
        if (op == listed) return true;
    return false;
}

// Second bytes after 0F that take a ModRM byte.
bool TwoByteTakesModrm(int op) {
    if ((op >= 0x10 && op <= 0x1f) || (op >= 0x28 && op <= 0x2f) || (op >= 0x40 && op <= 0x7f) ||
        (op >= 0xd0 && op <= 0xfe))
        return true;
    for (int listed :
         {0xa3, 0xab, 0xaf, 0xb0, 0xb1, 0xb3, 0xb6, 0xb7, 0xba, 0xbb, 0xbc, 0xbd, 0xbe, 0xbf, 0xc0, 0xc1, 0xc2, 0xc6})
        if (op == listed) return true;
    return false;
}

// Indexed by the first byte and the second one shifted by 8: one look-up a
// byte keeps the scan fast, and most bytes find 0.
const std::array<std::uint8_t, 65536>& FieldStarts() {
    static const std::array<std::uint8_t, 65536> starts = [] {
        std::array<std::uint8_t, 65536> table{};
        for (int first = 0; first < 256; ++first)
            for (int second = 0; second < 256; ++second) {
                std::uint8_t& start = table[first | second << 8];
                if (first == 0xe8 || first == 0xe9)
                    start = 1;
                else if (first == 0x0f)
                    start = (second & 0xf0) == 0x80 ? 2 : TwoByteTakesModrm(second) ? kModrmThird : 0;
                else if (TakesModrm(first) && IsRipRelative(static_cast<std::uint8_t>(second)))
                    start = 2;
            }
        return table;
    }();
    return starts;
}

// One bit for each of the 16 places from `at` where FieldStarts() may say
// anything but 0: an E8, E9 or 0F there, or a next byte that could be a
// RIP-relative ModRM. The scan looks up only these, and most code bytes are
// none of them. Reads 17 bytes.
std::uint32_t PossibleStarts(const std::uint8_t* at) {
#if defined(__SSE2__)
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1));
    const __m128i call_or_jump =
        _mm_cmpeq_epi8(_mm_and_si128(here, _mm_set1_epi8(char(0xfe))), _mm_set1_epi8(char(0xe8)));
    const __m128i escape = _mm_cmpeq_epi8(here, _mm_set1_epi8(0x0f));
    const __m128i rip = _mm_cmpeq_epi8(_mm_and_si128(next, _mm_set1_epi8(char(0xc7))), _mm_set1_epi8(0x05));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(call_or_jump, escape), rip)));
#else
    std::uint32_t bits = 0;
    for (int k = 0; k < 16; ++k)
        if ((at[k] & 0xfe) == 0xe8 || at[k] == 0x0f || IsRipRelative(at[k + 1])) bits |= 1u << k;
    return bits;
#endif
}

}  // namespace

ReferencePredictor::ReferencePredictor(std::string_view old_file, std::uint64_t new_size)
    : old_(reinterpret_cast<const std::uint8_t*>(old_file.data())),
      old_size_(old_file.size()),
      new_size_(new_size),
      old_layout_(SectionLayout::Of(old_file.substr(0, static_cast<size_t>(kHeadersEnd)))),
      // The new version's headers matter only when the old one is an image.
      new_head_known_(!old_layout_.IsImage()) {}

void ReferencePredictor::ExpectSteps(std::uint64_t steps) {
    matches_.reserve(static_cast<size_t>(std::min<std::uint64_t>(steps, kMaximumMatches)));
}

void ReferencePredictor::AddMatch(std::uint64_t old_from, std::uint64_t new_from, std::uint64_t length) {
    if (length >= kMinimumMatch && matches_.size() < kMaximumMatches) matches_.push_back({old_from, new_from, length});
}

void ReferencePredictor::FinishMatches() {
    // Sorted by old position and cut where they overlap, so that each old
    // byte has at most one new place: the earliest-starting run's, the
    // longer one first among runs that start together.
    std::sort(matches_.begin(), matches_.end(), [](const Match& a, const Match& b) {
        if (a.old_from != b.old_from) return a.old_from < b.old_from;
        if (a.length != b.length) return a.length > b.length;
        return a.new_from < b.new_from;
    });
    size_t kept = 0;
    std::uint64_t covered = 0;
    for (Match match : matches_) {
        const std::uint64_t end = match.old_from + match.length;
        if (end <= covered) continue;
        if (match.old_from < covered) {
            match.new_from += covered - match.old_from;
            match.length = end - covered;
            match.old_from = covered;
        }
        matches_[kept++] = match;
        covered = end;
    }
    matches_.resize(kept);
    runs_before_page_.assign(static_cast<size_t>((old_size_ >> kPageBits) + 2), 0);
    size_t next = 0;
    for (size_t page = 0; page < runs_before_page_.size(); ++page) {
        while (next < matches_.size() && matches_[next].old_from <= (std::uint64_t{page} << kPageBits)) ++next;
        runs_before_page_[page] = static_cast<std::uint32_t>(next);
    }
}

bool ReferencePredictor::AdjustStep(std::uint64_t old_from, std::uint64_t new_from, std::uint64_t length,
                                    std::uint8_t* bytes, int sign, std::string_view new_head) {
    std::uint64_t skip = 0;
    if (!new_head_known_) {
        if (new_from + length <= kHeadersEnd) return false;
        // This step's bytes up to the end of the headers stay as they are.
        skip = new_from < kHeadersEnd ? kHeadersEnd - new_from : 0;
        new_layout_ = SectionLayout::Of(new_head.substr(0, static_cast<size_t>(kHeadersEnd)));
        new_head_known_ = true;
    }
    return Adjust(old_from + skip, new_from + skip, length - skip, bytes + skip, sign);
}

bool ReferencePredictor::NewPositionOf(std::uint64_t old_position, std::uint64_t& new_position) const {
    // Callers look up places within the old file only.
    const auto page = static_cast<size_t>(old_position >> kPageBits);
    auto after = std::upper_bound(matches_.begin() + runs_before_page_[page],
                                  matches_.begin() + runs_before_page_[page + 1], old_position,
                                  [](std::uint64_t position, const Match& match) { return position < match.old_from; });
    if (after == matches_.begin()) return false;
    // A place no run covers (new code in between, or a short run left out)
    // most likely moved as the nearest run before it.
    const Match& match = *(after - 1);
    new_position = match.new_from + (old_position - match.old_from);
    return true;
}

bool ReferencePredictor::NewAddressOf(std::uint64_t old_address, std::uint64_t& new_address) const {
    std::uint64_t old_position, new_position;
    if (old_layout_.OffsetOf(old_address, old_position)) {
        return old_position < old_size_ && NewPositionOf(old_position, new_position) && new_position < new_size_ &&
               new_layout_.AddressOf(new_position, new_address);
    }
    return new_layout_.SameSpotAs(old_layout_, old_address, new_address);
}

bool ReferencePredictor::PredictPointer(std::uint64_t field_old, std::uint64_t& value) const {
    // A pointer in an image's data holds the target's address where the
    // image is meant to load; the loader fixes it up when it loads elsewhere.
    const std::uint64_t address = Little64(old_ + field_old) - old_layout_.image_base();
    std::uint64_t target_address;
    if (address >= old_layout_.image_size() || new_layout_.image_size() == 0 || !NewAddressOf(address, target_address))
        return false;
    value = new_layout_.image_base() + target_address;
    return true;
}

bool ReferencePredictor::Adjust(std::uint64_t old_from, std::uint64_t new_from, std::uint64_t length,
                                std::uint8_t* bytes, int sign) const {
    if (old_layout_.IsImage() != new_layout_.IsImage()) return false;
    // Piece by piece, each within one section of both versions: code holds
    // relative references, data pointers.
    bool changed = false;
    for (std::uint64_t done = 0; done < length;) {
        const SectionLayout::Run old_run = old_layout_.RunAt(old_from + done);
        const SectionLayout::Run new_run = new_layout_.RunAt(new_from + done);
        const std::uint64_t piece =
            std::min({length - done, old_run.end - (old_from + done), new_run.end - (new_from + done)});
        if (old_run.in_section && new_run.in_section) {
            changed |= old_run.code ? AdjustCode(old_from + done, piece, old_from + done + old_run.shift,
                                                 new_from + done + new_run.shift, bytes + done, sign)
                                    : AdjustPointers(old_from + done, piece, bytes + done, sign);
        }
        done += piece;
    }
    return changed;
}

bool ReferencePredictor::AdjustPointers(std::uint64_t old_from, std::uint64_t length, std::uint8_t* bytes,
                                        int sign) const {
    if (old_layout_.image_size() == 0 || length < 8) return false;
    bool changed = false;
    // Pointers in data are aligned to their size.
    for (std::uint64_t i = (8 - old_from % 8) % 8; i + 8 <= length; i += 8) {
        std::uint64_t predicted;
        const std::uint64_t old_value = Little64(old_ + old_from + i);
        if (PredictPointer(old_from + i, predicted) && predicted != old_value) {
            AddChange(old_value, predicted, 8, sign, bytes + i);
            changed = true;
        }
    }
    return changed;
}

bool ReferencePredictor::AdjustCode(std::uint64_t old_from, std::uint64_t length, std::uint64_t old_address,
                                    std::uint64_t new_address, std::uint8_t* bytes, int sign) const {
    if (length < 5) return false;
    bool changed = false;
    const std::uint8_t* data = old_ + old_from;
    const std::array<std::uint8_t, 65536>& starts = FieldStarts();
    const std::uint64_t last = length - 4;  // the last place a field may start
    for (std::uint64_t i = 0; i < last;) {
        if (i + 16 <= last) {
            const std::uint32_t possible = PossibleStarts(data + i);
            if (possible == 0) {
                i += 16;
                continue;
            }
            i += static_cast<std::uint64_t>(std::countr_zero(possible));
        }
        std::uint64_t field = starts[data[i] | data[i + 1] << 8];
        if (field == kModrmThird) field = i + 2 < last && IsRipRelative(data[i + 2]) ? 3 : 0;
        if (field == 0 || i + field > last) {
            ++i;
            continue;
        }
        field += i;
        // Relative targets count from the field's end in memory addresses;
        // the few instructions with an immediate after the field are off by
        // the same amount before and after, which cancels.
        const std::uint32_t old_value = Little32(data + field);
        std::uint64_t target;
        if (NewAddressOf(old_address + field + 4 + static_cast<std::uint64_t>(std::int64_t{std::int32_t(old_value)}),
                         target)) {
            const auto predicted = static_cast<std::uint32_t>(target - (new_address + field + 4));
            if (predicted != old_value) {
                AddChange(old_value, predicted, 4, sign, bytes + field);
                changed = true;
            }
        }
        i = field + 4;
    }
    return changed;
}

}  // namespace nm::delta
