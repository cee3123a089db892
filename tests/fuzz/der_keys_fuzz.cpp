// portable: builds without Win32
// Keys: the public key of the settings (SubjectPublicKeyInfo), private keys
// (PKCS#8, SEC1) and the PEM around them.
#include "base/p256_keys.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace nm;
    const std::string_view input = fuzz::Bytes(data, size);
    p256::PublicKey public_key, public_again;
    if (p256::ParsePublicKey(input, public_key)) {
        fuzz::Require(p256::ParsePublicKey(p256::PublicKeyDer(public_key), public_again) &&
                          public_again.x == public_key.x && public_again.y == public_key.y,
                      "a public key round-trips");
    }
    p256::PrivateKey key, again;
    if (p256::ParsePrivateKey(input, key)) {
        fuzz::Require(p256::ParsePrivateKey(p256::PrivateKeyDer(key), again) && again.d == key.d &&
                          again.public_key.x == key.public_key.x,
                      "a private key round-trips");
    }
    std::string der;
    if (p256::PemBlock(input, "PRIVATE KEY", der)) p256::ParsePrivateKey(der, key);
    return 0;
}
