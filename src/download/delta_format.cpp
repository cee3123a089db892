// portable: builds without Win32
#include "download/delta_format.h"

#include "download/lzma_stream.h"

namespace nm::delta {

namespace {

constexpr std::string_view kMagic = "NMDELTA1";
constexpr std::string_view kPredictingMagic = "NMDELTA2";

void Put(std::uint64_t value, int bytes, std::string& out) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

std::uint64_t Take(std::string_view& in, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= static_cast<std::uint64_t>(static_cast<unsigned char>(in[i])) << (8 * i);
    in.remove_prefix(bytes);
    return value;
}

bool Fail(std::string& error, const char* why) {
    error = why;
    return false;
}

}  // namespace

std::string HeaderBytes(const Header& header) {
    std::string out(header.predicts_references ? kPredictingMagic : kMagic);
    Put(header.old_size, 8, out);
    Put(header.old_crc, 8, out);
    Put(header.new_size, 8, out);
    Put(header.new_crc, 8, out);
    for (const StreamSize* stream : {&header.control, &header.diff, &header.extra}) {
        Put(stream->unpacked, 8, out);
        Put(stream->packed, 8, out);
        Put(stream->dictionary, 4, out);
    }
    return out;
}

bool ParseHeader(std::string_view patch, Header& header, std::string& error) {
    if (patch.size() < kHeaderSize) return Fail(error, "not a patch (no patch header)");
    const std::string_view magic = patch.substr(0, kMagic.size());
    if (magic != kMagic && magic != kPredictingMagic) return Fail(error, "not a patch (no patch header)");
    header.predicts_references = magic == kPredictingMagic;
    std::string_view in = patch.substr(kMagic.size(), kHeaderSize - kMagic.size());
    header.old_size = Take(in, 8);
    header.old_crc = Take(in, 8);
    header.new_size = Take(in, 8);
    header.new_crc = Take(in, 8);
    std::uint64_t packed_total = 0;
    for (StreamSize* stream : {&header.control, &header.diff, &header.extra}) {
        stream->unpacked = Take(in, 8);
        stream->packed = Take(in, 8);
        stream->dictionary = static_cast<std::uint32_t>(Take(in, 4));
        if (stream->dictionary < lzma::kMinimumDictionary || stream->dictionary > kMaximumDictionary)
            return Fail(error, "patch asks for a dictionary out of bounds");
        if (stream->packed > patch.size()) return Fail(error, "patch is cut short");
        packed_total += stream->packed;
    }
    if (packed_total != patch.size() - kHeaderSize) return Fail(error, "patch is cut short or has bytes past its end");
    if (header.diff.unpacked > header.new_size || header.extra.unpacked != header.new_size - header.diff.unpacked)
        return Fail(error, "patch streams do not add up to the new size");
    // Each step makes a byte and takes at most three varints.
    if (header.control.unpacked / (3 * kMaximumVarint) > header.new_size)
        return Fail(error, "patch control stream is longer than its steps can be");
    return true;
}

void AppendVarint(std::uint64_t value, std::string& out) {
    while (value >= 0x80) {
        out.push_back(static_cast<char>((value & 0x7f) | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

bool TakeVarint(std::string_view& in, std::uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 64 && !in.empty(); shift += 7) {
        const auto byte = static_cast<std::uint8_t>(in.front());
        in.remove_prefix(1);
        if (shift == 63 && byte > 1) return false;
        value |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
        if (!(byte & 0x80)) return true;
    }
    return false;
}

}  // namespace nm::delta
