// portable: builds without Win32
// Hex text, as file hashes are written in the list.
#include "base/hex.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace nm;
    const std::string_view input = fuzz::Bytes(data, size);
    std::string decoded;
    if (hex::Decode(fuzz::Latin1(input), decoded))
        fuzz::Require(decoded.size() * 2 == input.size(), "two digits make a byte");
    fuzz::Require(hex::Decode(hex::Encode(input), decoded) && decoded == input, "any bytes round-trip");
    return 0;
}
