// portable: builds without Win32
// The resource directory of a program file that anyone may hand the tool.
#include "base/pe_resources.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace nm;
    const std::string_view image = fuzz::Bytes(data, size);
    // The embedded default settings, as the seed carries them.
    const std::optional<std::string> found = pe::ResourceData(image, L"RT_RCDATA", 179);
    // Whatever is found is bytes of the file itself.
    if (found) fuzz::Require(found->empty() || image.find(*found) != std::string_view::npos, "data from the image");
    return 0;
}
