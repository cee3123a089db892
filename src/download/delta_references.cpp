// portable: builds without Win32
#include "download/delta_references.h"

#include <algorithm>
#include <array>

namespace nm::delta {

namespace {

// Runs shorter than this are left out of the map.
constexpr std::uint64_t kMinimumMatch = 8;
// At most this many runs (24 bytes each) go into the map.
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

// What an instruction's first byte says about where a relative 32-bit field
// may follow it.
enum Opening : std::uint8_t {
    kNothing,
    kRelative,      // E8 call, E9 jmp: the field follows at once
    kTwoByte,       // 0F: a conditional jump (0F 8x) or an operation with a ModRM byte
    kWithOperand,   // a one-byte operation with a ModRM byte, RIP-relative when it says so
};

constexpr std::array<Opening, 256> MakeOpenings() {
    std::array<Opening, 256> openings{};
    openings[0xe8] = openings[0xe9] = kRelative;
    openings[0x0f] = kTwoByte;
    for (int row = 0x00; row <= 0x38; row += 8)
        for (int column = 0; column < 4; ++column) openings[row + column] = kWithOperand;  // add ... cmp
    for (int op : {0x63, 0x69, 0x6b, 0x80, 0x81, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x8b, 0x8d, 0xc6,
                   0xc7, 0xd0, 0xd1, 0xd2, 0xd3, 0xd8, 0xd9, 0xda, 0xdb, 0xdc, 0xdd, 0xde, 0xdf, 0xf6, 0xf7, 0xfe, 0xff})
        openings[op] = kWithOperand;
    return openings;
}
constexpr std::array<Opening, 256> kOpenings = MakeOpenings();

// Second bytes after 0F that take a ModRM byte (the conditional jumps are
// told apart before).
constexpr std::array<bool, 256> MakeTwoByteOperands() {
    std::array<bool, 256> operands{};
    for (int op = 0x10; op <= 0x1f; ++op) operands[op] = true;
    for (int op = 0x28; op <= 0x2f; ++op) operands[op] = true;
    for (int op = 0x40; op <= 0x7f; ++op) operands[op] = true;
    for (int op : {0xa3, 0xab, 0xaf, 0xb0, 0xb1, 0xb3, 0xb6, 0xb7, 0xba, 0xbb, 0xbc, 0xbd, 0xbe, 0xbf, 0xc0, 0xc1, 0xc2,
                   0xc6})
        operands[op] = true;
    for (int op = 0xd0; op <= 0xfe; ++op) operands[op] = true;
    return operands;
}
constexpr std::array<bool, 256> kTwoByteOperands = MakeTwoByteOperands();

bool IsRipRelative(std::uint8_t modrm) { return (modrm & 0xc7) == 0x05; }

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
    auto after = std::upper_bound(matches_.begin(), matches_.end(), old_position,
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

bool ReferencePredictor::PredictRelative(std::uint64_t field_old, std::uint64_t field_new, std::uint32_t& value) const {
    // Relative targets count from the field's end in memory addresses; the
    // few instructions with an immediate after the field are off by the same
    // amount before and after, which cancels.
    std::uint64_t source, target_address, new_source;
    if (!old_layout_.InCode(field_old) || !old_layout_.AddressOf(field_old, source)) return false;
    const auto relative = static_cast<std::int32_t>(Little32(old_ + field_old));
    if (!NewAddressOf(source + 4 + static_cast<std::uint64_t>(std::int64_t{relative}), target_address) ||
        !new_layout_.AddressOf(field_new, new_source))
        return false;
    value = static_cast<std::uint32_t>(target_address - (new_source + 4));
    return true;
}

bool ReferencePredictor::PredictPointer(std::uint64_t field_old, std::uint64_t& value) const {
    // A pointer in an image's data holds the target's address where the
    // image is meant to load; the loader fixes it up when it loads elsewhere.
    const std::uint64_t address = Little64(old_ + field_old) - old_layout_.image_base();
    std::uint64_t target_address;
    if (address >= old_layout_.image_size() || new_layout_.image_size() == 0 || old_layout_.InCode(field_old) ||
        !NewAddressOf(address, target_address))
        return false;
    value = new_layout_.image_base() + target_address;
    return true;
}

bool ReferencePredictor::Adjust(std::uint64_t old_from, std::uint64_t new_from, std::uint64_t length,
                                std::uint8_t* bytes, int sign) const {
    const bool code = AdjustCode(old_from, new_from, length, bytes, sign);
    return AdjustPointers(old_from, length, bytes, sign) || code;
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

bool ReferencePredictor::AdjustCode(std::uint64_t old_from, std::uint64_t new_from, std::uint64_t length,
                                    std::uint8_t* bytes, int sign) const {
    if (length < 5) return false;
    bool changed = false;
    const std::uint8_t* data = old_ + old_from;
    const std::uint64_t last = length - 4;  // the last place a field may start
    for (std::uint64_t i = 0; i < last;) {
        std::uint64_t field;
        switch (kOpenings[data[i]]) {
            case kRelative:
                field = i + 1;
                break;
            case kTwoByte:
                if ((data[i + 1] & 0xf0) == 0x80)
                    field = i + 2;
                else if (kTwoByteOperands[data[i + 1]] && i + 2 < last && IsRipRelative(data[i + 2]))
                    field = i + 3;
                else
                    field = 0;
                break;
            case kWithOperand:
                field = IsRipRelative(data[i + 1]) ? i + 2 : 0;
                break;
            default:
                field = 0;
        }
        if (field == 0 || field > last) {
            ++i;
            continue;
        }
        std::uint32_t predicted;
        const std::uint32_t old_value = Little32(data + field);
        if (PredictRelative(old_from + field, new_from + field, predicted) && predicted != old_value) {
            AddChange(old_value, predicted, 4, sign, bytes + field);
            changed = true;
        }
        i = field + 4;
    }
    return changed;
}

}  // namespace nm::delta
