// portable: builds without Win32
#include "base/pe_resources.h"

#include <cwctype>
#include <utility>
#include <vector>

#include "base/pe_headers.h"

namespace nm::pe {

namespace {
constexpr std::uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr std::uint32_t kNamedFlag = 0x80000000u;
constexpr std::uint16_t kNeutralLanguage = 0;
constexpr int kResourceDirectoryIndex = 2;

// Little-endian numbers at an offset; false past the end.
bool Read16(std::string_view bytes, std::uint64_t at, std::uint16_t& value) {
    const std::optional<std::uint64_t> read = Little(bytes, at, 2);
    value = static_cast<std::uint16_t>(read.value_or(0));
    return read.has_value();
}
bool Read32(std::string_view bytes, std::uint64_t at, std::uint32_t& value) {
    const std::optional<std::uint64_t> read = Little(bytes, at, 4);
    value = static_cast<std::uint32_t>(read.value_or(0));
    return read.has_value();
}

// The image's sections, where its addresses are mapped from the file.
struct Image {
    std::string_view bytes;
    std::vector<SectionHeader> sections;
    std::uint32_t resource_address = 0;

    // The file offset of `size` bytes at an address of the loaded image;
    // none when they do not lie in one section's bytes in the file.
    std::optional<std::uint64_t> OffsetOf(std::uint32_t address, std::uint32_t size) const {
        for (const SectionHeader& section : sections) {
            if (address < section.address || address - section.address >= section.file_size) continue;
            const std::uint64_t inside = address - section.address;
            if (inside + size > section.file_size) return std::nullopt;
            const std::uint64_t offset = section.file_offset + inside;
            if (offset + size > bytes.size()) return std::nullopt;
            return offset;
        }
        return std::nullopt;
    }
};

bool ParseHeaders(std::string_view bytes, Image& image) {
    std::optional<Headers> headers = ReadHeaders(bytes);
    // A table cut short is no image the loader would take.
    if (!headers || headers->sections.size() < headers->section_count) return false;
    // The data directories follow the fields of a 32-bit or a 64-bit header.
    const std::uint64_t optional = headers->optional;
    const std::uint64_t directories = headers->magic == kMagic64   ? optional + 112
                                      : headers->magic == kMagic32 ? optional + 96
                                                                   : 0;
    std::uint32_t directory_count = 0;
    if (directories == 0 || !Read32(bytes, directories - 4, directory_count)) return false;
    image.bytes = bytes;
    if (directory_count > kResourceDirectoryIndex &&
        directories + 8 * kResourceDirectoryIndex + 8 <= optional + headers->optional_size)
        Read32(bytes, directories + 8 * kResourceDirectoryIndex, image.resource_address);
    image.sections = std::move(headers->sections);
    return true;
}

// One level of the resource tree: its entries as (name or number, target).
struct Entry {
    std::uint32_t name = 0, target = 0;
};

std::vector<Entry> EntriesAt(const Image& image, std::uint64_t root, std::uint32_t directory) {
    std::vector<Entry> entries;
    std::uint16_t named = 0, numbered = 0;
    if (!Read16(image.bytes, root + directory + 12, named) || !Read16(image.bytes, root + directory + 14, numbered))
        return entries;
    for (int i = 0; i < named + numbered; ++i) {
        Entry entry;
        const std::uint64_t at = root + directory + 16 + 8ull * i;
        if (!Read32(image.bytes, at, entry.name) || !Read32(image.bytes, at + 4, entry.target)) break;
        entries.push_back(entry);
    }
    return entries;
}

bool NameEquals(const Image& image, std::uint64_t root, const Entry& entry, std::wstring_view wanted) {
    if (!(entry.name & kNamedFlag)) return false;
    const std::uint64_t at = root + (entry.name & ~kNamedFlag);
    std::uint16_t length = 0;
    if (!Read16(image.bytes, at, length) || length != wanted.size()) return false;
    for (std::uint16_t i = 0; i < length; ++i) {
        std::uint16_t unit = 0;
        if (!Read16(image.bytes, at + 2 + 2ull * i, unit)) return false;
        if (std::towupper(unit) != std::towupper(wanted[i])) return false;
    }
    return true;
}

// The subdirectory an entry leads to; none for a leaf.
std::optional<std::uint32_t> Subdirectory(const Entry& entry) {
    if (!(entry.target & kSubdirectoryFlag)) return std::nullopt;
    return entry.target & ~kSubdirectoryFlag;
}
}  // namespace

std::optional<std::string> ResourceData(std::string_view bytes, std::wstring_view type, std::uint16_t id) {
    Image image;
    if (!ParseHeaders(bytes, image)) return std::nullopt;
    const std::optional<std::uint64_t> root = image.OffsetOf(image.resource_address, 16);
    if (image.resource_address == 0 || !root) return std::string();

    std::optional<std::uint32_t> names;
    for (const Entry& entry : EntriesAt(image, *root, 0))
        if (NameEquals(image, *root, entry, type)) {
            names = Subdirectory(entry);
            break;
        }
    std::optional<std::uint32_t> languages;
    if (names)
        for (const Entry& entry : EntriesAt(image, *root, *names))
            if (entry.name == id) {
                languages = Subdirectory(entry);
                break;
            }
    if (!languages) return std::string();
    const std::vector<Entry> choices = EntriesAt(image, *root, *languages);
    if (choices.empty()) return std::string();
    Entry chosen = choices.front();
    for (const Entry& entry : choices)
        if (entry.name == kNeutralLanguage) chosen = entry;
    if (Subdirectory(chosen)) return std::string();

    std::uint32_t address = 0, size = 0;
    if (!Read32(bytes, *root + chosen.target, address) || !Read32(bytes, *root + chosen.target + 4, size))
        return std::string();
    const std::optional<std::uint64_t> data = image.OffsetOf(address, size);
    if (!data) return std::string();
    return std::string(bytes.substr(*data, size));
}

}  // namespace nm::pe
