// portable: builds without Win32
// A patch as a download may bring it: cut short, damaged, or made to look
// like one. The input is a two-byte length, that many bytes of the old
// version, then the patch. It applies or it is refused; what it makes has
// the size its header promised, also when the same streams are read as a
// patch that predicts references (its steps then map old code anywhere).
// The same bytes, split into two versions, make a patch that gives back the
// newer one exactly.
#include <algorithm>

#include "download/delta_apply.h"
#include "download/delta_format.h"
#include "download/delta_make.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t old_size = std::min<size_t>(size - 2, data[0] | data[1] << 8);
    const std::string_view input = nm::fuzz::Bytes(data + 2, size - 2);
    const std::string_view old_file = input.substr(0, old_size);
    const std::string_view patch = input.substr(old_size);

    std::string error, made;
    std::string predicting(patch);
    if (predicting.size() >= 8) predicting[7] = predicting[7] == '1' ? '2' : '1';
    for (const std::string_view tried : {patch, std::string_view(predicting)}) {
        // The result's size comes from the caller (the update list); here it
        // is the header's own, within what a fuzz run may allocate.
        nm::delta::Header header;
        const bool parsed = nm::delta::ParseHeader(tried, header, error);
        const std::uint64_t expected = parsed && header.new_size <= (1u << 20) ? header.new_size : 1000;
        if (nm::delta::ApplyPatch(old_file, tried, expected, made, error))
            nm::fuzz::Require(parsed && made.size() == expected, "an applied patch makes the promised size");
        else
            nm::fuzz::Require(!error.empty(), "a refused patch says why");
    }

    std::string made_patch;
    nm::fuzz::Require(nm::delta::MakePatch(std::string(old_file), std::string(patch), made_patch, error),
                      "a patch is made between any two versions");
    nm::fuzz::Require(nm::delta::ApplyPatch(old_file, made_patch, patch.size(), made, error) && made == patch,
                      "a made patch gives back the newer version");
    return 0;
}
