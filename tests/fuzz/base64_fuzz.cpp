// portable: builds without Win32
// Base64 as signature files and the list key setting carry it.
#include "base/base64.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace nm;
    const std::string_view input = fuzz::Bytes(data, size);
    std::string decoded, again;
    if (base64::Decode(input, decoded)) {
        // Only the one canonical text of some bytes is accepted.
        fuzz::Require(base64::Decode(base64::Encode(decoded), again) && again == decoded, "decoded bytes encode back");
        std::string stripped;
        for (char c : input)
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n') stripped += c;
        fuzz::Require(base64::Encode(decoded) == stripped, "accepted text is canonical");
    }
    fuzz::Require(base64::Decode(fuzz::Latin1(input), again) == base64::Decode(input, decoded),
                  "wide and narrow agree");
    fuzz::Require(base64::Decode(base64::Encode(input), decoded) && decoded == input, "any bytes round-trip");
    return 0;
}
