// portable: builds without Win32
#include "download/pe_layout.h"

#include <algorithm>

namespace nm::delta {

namespace {

std::uint64_t Little(std::string_view data, std::uint64_t at, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= std::uint64_t{static_cast<std::uint8_t>(data[static_cast<size_t>(at) + i])} << 8 * i;
    return value;
}

constexpr std::uint32_t kExecutable = 0x20000000;    // IMAGE_SCN_MEM_EXECUTE
constexpr std::uint64_t kSixtyFourBitMagic = 0x20b;  // PE32+

}  // namespace

SectionLayout SectionLayout::Of(std::string_view head) {
    SectionLayout layout;
    if (head.size() < 0x40 || head.substr(0, 2) != "MZ") return layout;
    const std::uint64_t pe = Little(head, 0x3c, 4);
    if (pe + 24 > head.size() || head.substr(static_cast<size_t>(pe), 4) != std::string_view("PE\0\0", 4))
        return layout;
    const std::uint64_t count = Little(head, pe + 6, 2);
    const std::uint64_t optional = pe + 24;
    const std::uint64_t optional_size = Little(head, pe + 20, 2);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t entry = optional + optional_size + 40 * i;
        if (entry + 40 > head.size()) break;
        const std::uint64_t memory_size = Little(head, entry + 8, 4);
        const std::uint64_t file_size = Little(head, entry + 16, 4);
        const std::uint64_t size = memory_size ? std::min(memory_size, file_size) : file_size;
        layout.sections_.push_back({Little(head, entry + 12, 4), Little(head, entry + 20, 4), size,
                                    std::max(memory_size, file_size),
                                    (Little(head, entry + 36, 4) & kExecutable) != 0});
        const Section& added = layout.sections_.back();
        layout.sections_end_ = std::max(layout.sections_end_, added.address + added.memory_size);
    }
    if (layout.IsImage() && optional_size >= 60 && optional + 60 <= head.size() &&
        Little(head, optional, 2) == kSixtyFourBitMagic) {
        layout.image_base_ = Little(head, optional + 24, 8);
        layout.image_size_ = Little(head, optional + 56, 4);
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
