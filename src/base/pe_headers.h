// portable: builds without Win32
#pragma once
// The headers of a PE image, read from its first bytes without loading it:
// where its optional header and section table lie, and the sections as the
// table gives them.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace nm::pe {

constexpr std::uint16_t kMagic32 = 0x10b;  // PE32
constexpr std::uint16_t kMagic64 = 0x20b;  // PE32+

struct SectionHeader {
    std::uint32_t address = 0, memory_size = 0;    // in the loaded image
    std::uint32_t file_size = 0, file_offset = 0;  // in the file
    std::uint32_t characteristics = 0;
};

struct Headers {
    std::uint64_t optional = 0;  // where the optional header starts
    std::uint16_t optional_size = 0;
    std::uint16_t magic = 0;          // the optional header's first field; 0 past the bytes
    std::uint16_t section_count = 0;  // as the file header says
    // The table's entries that lie whole within the bytes, in its order.
    std::vector<SectionHeader> sections;
};

// The little-endian number of `size` bytes (at most 8) at `at`; none when
// they reach past the end.
std::optional<std::uint64_t> Little(std::string_view bytes, std::uint64_t at, int size);

// None when the bytes are not a PE image: no "MZ", or the "PE" signature
// and the file header it points to not within them.
std::optional<Headers> ReadHeaders(std::string_view bytes);

}  // namespace nm::pe
