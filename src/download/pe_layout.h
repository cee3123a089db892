// portable: builds without Win32
#pragma once
// Where the sections of a PE image lie in its file and in memory, read from
// the image's first bytes. Relative targets and pointers count in memory
// addresses, and sections are aligned differently in the file than in
// memory, so code that moves within a file moves by another distance in
// memory once a section boundary lies between.
#include <cstdint>
#include <string_view>
#include <vector>

namespace nm::delta {

class SectionLayout {
public:
    // The sections of the PE image whose first bytes are `head`; empty for
    // anything else, whose file offsets then stand for addresses.
    static SectionLayout Of(std::string_view head);

    bool IsImage() const { return !sections_.empty(); }
    // The memory address of file offset `offset`, false outside every section.
    bool AddressOf(std::uint64_t offset, std::uint64_t& address) const;
    // The file offset of memory address `address`, false where the file holds
    // no bytes for it.
    bool OffsetOf(std::uint64_t address, std::uint64_t& offset) const;
    // The address in this image that stands where `address` stands in
    // `earlier`, for memory the file holds no bytes for (zero-filled data):
    // the same distance into the section of the same place in the table.
    bool SameSpotAs(const SectionLayout& earlier, std::uint64_t address, std::uint64_t& same) const;
    // The file offsets from `offset` on that lie alike: up to `end`, in one
    // section (`in_section`, at memory `shift` past its file offset, holding
    // code or not) or between sections. A file that is no image is one run
    // of code at its own offsets.
    struct Run {
        std::uint64_t end, shift;
        bool in_section, code;
    };
    Run RunAt(std::uint64_t offset) const;
    // Where a 64-bit image is meant to load and how much memory it spans;
    // both 0 for anything else, whose pointers are not known.
    std::uint64_t image_base() const { return image_base_; }
    std::uint64_t image_size() const { return image_size_; }

private:
    struct Section {
        std::uint64_t address, offset, size;  // size: what the file holds
        std::uint64_t memory_size;
        bool code;
    };
    const Section* SectionAt(std::uint64_t offset) const;

    std::vector<Section> sections_;
    std::uint64_t image_base_ = 0, image_size_ = 0;
};

}  // namespace nm::delta
