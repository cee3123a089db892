// portable: builds without Win32
#include "download/pe_layout.h"

#include <algorithm>
#include <optional>

#include "base/pe_headers.h"

namespace nm::delta {

namespace {
constexpr std::uint32_t kExecutable = 0x20000000;  // IMAGE_SCN_MEM_EXECUTE
}  // namespace

SectionLayout SectionLayout::Of(std::string_view head) {
    SectionLayout layout;
    const std::optional<pe::Headers> headers = pe::ReadHeaders(head);
    if (!headers) return layout;
    for (const pe::SectionHeader& entry : headers->sections) {
        const std::uint64_t size = entry.memory_size ? std::min(entry.memory_size, entry.file_size) : entry.file_size;
        layout.sections_.push_back({entry.address, entry.file_offset, size,
                                    std::max(entry.memory_size, entry.file_size),
                                    (entry.characteristics & kExecutable) != 0});
    }
    const std::optional<std::uint64_t> base = pe::Little(head, headers->optional + 24, 8);
    const std::optional<std::uint64_t> image_size = pe::Little(head, headers->optional + 56, 4);
    if (layout.IsImage() && headers->optional_size >= 60 && headers->magic == pe::kMagic64 && base && image_size) {
        layout.image_base_ = *base;
        layout.image_size_ = *image_size;
    }
    return layout;
}

const SectionLayout::Section* SectionLayout::SectionAt(std::uint64_t offset) const {
    for (const Section& section : sections_)
        if (offset - section.offset < section.size) return &section;
    return nullptr;
}

bool SectionLayout::AddressOf(std::uint64_t offset, std::uint64_t& address) const {
    if (!IsImage()) {
        address = offset;
        return true;
    }
    const Section* section = SectionAt(offset);
    if (section) address = section->address + (offset - section->offset);
    return section != nullptr;
}

bool SectionLayout::OffsetOf(std::uint64_t address, std::uint64_t& offset) const {
    if (!IsImage()) {
        offset = address;
        return true;
    }
    for (const Section& section : sections_)
        if (address - section.address < section.size) {
            offset = section.offset + (address - section.address);
            return true;
        }
    return false;
}

bool SectionLayout::SameSpotAs(const SectionLayout& earlier, std::uint64_t address, std::uint64_t& same) const {
    const size_t count = std::min(sections_.size(), earlier.sections_.size());
    for (size_t i = 0; i < count; ++i) {
        const Section& before = earlier.sections_[i];
        const std::uint64_t into = address - before.address;
        if (into < before.memory_size) {
            if (into >= sections_[i].memory_size) return false;
            same = sections_[i].address + into;
            return true;
        }
    }
    return false;
}

SectionLayout::Run SectionLayout::RunAt(std::uint64_t offset) const {
    if (!IsImage()) return {UINT64_MAX, 0, true, true};
    if (const Section* section = SectionAt(offset))
        return {section->offset + section->size, section->address - section->offset, true, section->code};
    Run between{UINT64_MAX, 0, false, false};
    for (const Section& section : sections_)
        if (section.offset > offset) between.end = std::min(between.end, section.offset);
    return between;
}

}  // namespace nm::delta
