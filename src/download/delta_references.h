// portable: builds without Win32
#pragma once
// Predicting moved references in machine code, for patches in "NMDELTA2"
// (delta_format.h). Most bytes that change between two builds of a program
// are the relative targets of calls, jumps and RIP-relative operands whose
// target moved by another distance than the instruction: the code between
// them grew or shrank. The steps of a patch already say where each run of old
// bytes went, so a reference found in the old bytes can be rewritten for the
// new places before the diff is added, and the diff is then mostly zeros.
//
// The maker and the applier build the same prediction from what both know:
// the old file, the steps, and the new file's headers (made by the first
// steps, before any code). Everything read is bounds-checked: a hostile patch
// may map anything anywhere, it only gets a wrong result, which the CRC of
// the new version then refuses.
#include <cstdint>
#include <string_view>
#include <vector>

#include "download/pe_layout.h"

namespace nm::delta {

class ReferencePredictor {
public:
    // The new file's headers lie within its first this many bytes: a step
    // that starts there or later may read them.
    static constexpr std::uint64_t kHeadersEnd = 4096;

    ReferencePredictor(std::string_view old_file, std::uint64_t new_size);

    // One step's run of old bytes [old_from, old_from + length) at new
    // [new_from, ...), in the order of the steps. Short runs say little about
    // where things went and are left out, and so is everything past a fixed
    // number of runs, which bounds the memory a patch can make us take.
    // Room for the runs of at most `steps` steps, taken once.
    void ExpectSteps(std::uint64_t steps);
    void AddMatch(std::uint64_t old_from, std::uint64_t new_from, std::uint64_t length);
    // Once every run is in, before the first Adjust.
    void FinishMatches();
    // Turns `bytes`, lined up with old [old_from, old_from + length) going to
    // new [new_from, ...), from a difference against the old bytes into one
    // against the predicted bytes: `sign` +1 adds prediction minus old (the
    // applier, whose bytes hold diff + old), -1 subtracts it (the maker, whose
    // bytes hold new - old). Steps come in order; the range must lie within
    // the old file. `new_head` is the new file's start, of which the first
    // kHeadersEnd bytes must be final once a step reaches past them: the
    // references of an image can be placed only from then on. True when any
    // byte changed.
    bool AdjustStep(std::uint64_t old_from, std::uint64_t new_from, std::uint64_t length, std::uint8_t* bytes, int sign,
                    std::string_view new_head);

private:
    struct Match {
        std::uint64_t old_from, new_from, length;
    };
    bool NewPositionOf(std::uint64_t old_position, std::uint64_t& new_position) const;
    bool NewAddressOf(std::uint64_t old_address, std::uint64_t& new_address) const;
    bool Adjust(std::uint64_t old_from, std::uint64_t new_from, std::uint64_t length, std::uint8_t* bytes,
                int sign) const;
    bool PredictPointer(std::uint64_t field_old, std::uint64_t& value) const;
    bool AdjustCode(std::uint64_t old_from, std::uint64_t length, std::uint64_t old_address, std::uint64_t new_address,
                    std::uint8_t* bytes, int sign) const;
    bool AdjustPointers(std::uint64_t old_from, std::uint64_t length, std::uint8_t* bytes, int sign) const;

    const std::uint8_t* old_;
    std::uint64_t old_size_;
    std::uint64_t new_size_;
    SectionLayout old_layout_, new_layout_;
    bool new_head_known_ = false;
    std::vector<Match> matches_;
    // For each 4 KiB of the old file, how many runs start at or before its
    // first byte: a lookup searches only the runs that start within.
    std::vector<std::uint32_t> runs_before_page_;
};

}  // namespace nm::delta
