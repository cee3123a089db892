// portable: builds without Win32
// Signatures as openssl writes them: DER ECDSA-Sig-Value.
#include "base/p256_keys.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace nm;
    const std::string_view input = fuzz::Bytes(data, size);
    p256::Signature signature, again;
    if (p256::ParseSignature(input, signature)) {
        // DER has one encoding of each signature: what was accepted is it.
        fuzz::Require(p256::SignatureDer(signature) == input, "an accepted signature is in its one encoding");
        fuzz::Require(p256::ParseSignature(p256::SignatureDer(signature), again) && again == signature,
                      "a signature round-trips");
    }
    return 0;
}
