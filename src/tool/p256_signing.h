// portable: builds without Win32
#pragma once
// ECDSA P-256 for the vendor tool, the same code natively and on Windows, so
// that both tools give the same signature for the same key and list: the
// nonce is derived from the key and the digest (RFC 6979), not drawn at
// random. The updater verifies with the platform's own (cng).
#include <cstddef>

#include "base/p256_keys.h"
#include "base/sha256.h"

namespace nm::signing {

// A new key from the system's random source.
bool GenerateP256(p256::PrivateKey& key);
// The deterministic signature of the digest; false for a secret that is no
// P-256 key.
bool SignP256(const p256::PrivateKey& key, const sha256::Digest& digest, p256::Signature& signature);
bool VerifyP256(const p256::PublicKey& key, const sha256::Digest& digest, const p256::Signature& signature);

// Overwrites secret bytes in a way the compiler keeps.
void Wipe(void* bytes, std::size_t size);

}  // namespace nm::signing
