// portable: builds without Win32
#pragma once
// The layout of a patch that turns one version of a file into the next.
//
// A fixed header, then three raw LZMA2 streams one after the other:
//
//   "NMDELTA1" or "NMDELTA2"        8 bytes
//   old size, old CRC-64            8 bytes each: the version it applies to
//   new size, new CRC-64            8 bytes each: the version it makes
//   per stream (control, diff, extra):
//     unpacked size, packed size    8 bytes each
//     dictionary size               4 bytes
//
// Numbers are little-endian. The control stream is a list of steps, three
// numbers each as base-128 varints: a seek (zigzag, signed) moving the old
// position, a count of bytes made by adding the next diff bytes to the old
// bytes at that position (which then advances by that count), and a count of
// bytes taken as they are from the extra stream. Every step makes at least
// one byte. The diff and extra streams together hold exactly one byte per byte
// of the new version.
//
// In "NMDELTA2" the diff bytes are added not to the old bytes as they are but
// to a prediction of them (delta_references.h): a machine-code reference
// whose target moved by another distance than the code holding it is rewritten
// for the new places, by the map the control stream's steps make. The layout
// is the same.
#include <cstdint>
#include <string>
#include <string_view>

namespace nm::delta {

struct StreamSize {
    std::uint64_t unpacked = 0;
    std::uint64_t packed = 0;
    std::uint32_t dictionary = 0;
};

struct Header {
    // "NMDELTA2": the diff is against the old bytes with references predicted.
    bool predicts_references = false;
    std::uint64_t old_size = 0, old_crc = 0;
    std::uint64_t new_size = 0, new_crc = 0;
    StreamSize control, diff, extra;
};

constexpr size_t kHeaderSize = 8 + 4 * 8 + 3 * (8 + 8 + 4);
// The largest dictionary a stream may ask for: it bounds what applying a
// patch needs beyond the two versions of the file.
constexpr std::uint32_t kMaximumDictionary = 32u << 20;
// A varint of a 64-bit number never needs more bytes than this.
constexpr size_t kMaximumVarint = 10;

std::string HeaderBytes(const Header& header);
// The header of `patch`, checked against the patch's own size and its stated
// limits; false with `error` set for anything that is not a patch of ours.
bool ParseHeader(std::string_view patch, Header& header, std::string& error);

void AppendVarint(std::uint64_t value, std::string& out);
// The varint at the front of `in`, which it then leaves; false when there is
// none or it does not fit 64 bits.
bool TakeVarint(std::string_view& in, std::uint64_t& value);
inline std::uint64_t Zigzag(std::int64_t value) {
    return (static_cast<std::uint64_t>(value) << 1) ^ static_cast<std::uint64_t>(value >> 63);
}
inline std::int64_t Unzigzag(std::uint64_t value) {
    return static_cast<std::int64_t>(value >> 1) ^ -static_cast<std::int64_t>(value & 1);
}

}  // namespace nm::delta
