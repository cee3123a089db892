// portable: builds without Win32
#include "base/pe_headers.h"

namespace nm::pe {

namespace {
constexpr std::uint64_t kSectionEntrySize = 40;
}  // namespace

std::optional<std::uint64_t> Little(std::string_view bytes, std::uint64_t at, int size) {
    if (at > bytes.size() || bytes.size() - at < static_cast<std::uint64_t>(size)) return std::nullopt;
    std::uint64_t value = 0;
    for (int i = 0; i < size; ++i)
        value |= std::uint64_t{static_cast<unsigned char>(bytes[static_cast<size_t>(at) + i])} << 8 * i;
    return value;
}

std::optional<Headers> ReadHeaders(std::string_view bytes) {
    const std::optional<std::uint64_t> pe = Little(bytes, 0x3c, 4);
    if (!bytes.starts_with("MZ") || !pe || !Little(bytes, *pe + 20, 4) ||
        bytes.substr(static_cast<size_t>(*pe), 4) != std::string_view("PE\0\0", 4))
        return std::nullopt;
    Headers headers;
    headers.section_count = static_cast<std::uint16_t>(*Little(bytes, *pe + 6, 2));
    headers.optional_size = static_cast<std::uint16_t>(*Little(bytes, *pe + 20, 2));
    headers.optional = *pe + 24;
    headers.magic = static_cast<std::uint16_t>(Little(bytes, headers.optional, 2).value_or(0));
    const std::uint64_t table = headers.optional + headers.optional_size;
    for (std::uint64_t i = 0; i < headers.section_count; ++i) {
        const std::uint64_t entry = table + kSectionEntrySize * i;
        if (entry + kSectionEntrySize > bytes.size()) break;
        const auto field = [&](std::uint64_t at) { return static_cast<std::uint32_t>(*Little(bytes, entry + at, 4)); };
        headers.sections.push_back({field(12), field(8), field(16), field(20), field(36)});
    }
    return headers;
}

}  // namespace nm::pe
