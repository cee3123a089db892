// portable: builds without Win32
// The last bytes of an executable, read as an offline package's trailer.
#include "download/offline_package_rules.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace nm;
    using namespace nm::offline_package;
    const std::string_view file = fuzz::Bytes(data, size);
    const std::string_view last = file.substr(file.size() < kTrailerBytes ? 0 : file.size() - kTrailerBytes);
    const Trailer trailer = ReadTrailer(last, file.size());
    if (trailer.kind != TrailerKind::Package) return 0;
    // A package lies wholly between the updater and its trailer, and the
    // tool writes the very same trailer for it.
    fuzz::Require(trailer.offset > 0 && trailer.size > 0 && trailer.offset + trailer.size + kTrailerBytes == size,
                  "a package fills the gap");
    const bool difference = last.substr(8) == kMagicDifference;
    fuzz::Require(MakeTrailer(static_cast<std::uint32_t>(trailer.offset), static_cast<std::uint32_t>(trailer.size),
                              difference) == last,
                  "a trailer writes back unchanged");
    return 0;
}
