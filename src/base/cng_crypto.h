#pragma once
// SHA-256 and ECDSA P-256 through the platform's cryptography (CNG). The
// encodings around them are in p256_keys.h; nothing here computes by itself.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/p256_keys.h"
#include "base/unique_handle.h"

namespace nm::cng {

using Sha256Digest = std::array<std::uint8_t, 32>;

// SHA-256 over bytes that arrive in pieces.
class Sha256 {
public:
    Sha256();
    // False when the platform could not start the hash, or a piece failed.
    bool ok() const { return ok_; }
    void Add(std::string_view bytes);
    bool Finish(Sha256Digest& digest);

private:
    unique_bcrypt_algorithm algorithm_;
    unique_bcrypt_hash hash_;
    bool ok_ = false;
};

bool Sha256Of(std::string_view bytes, Sha256Digest& digest);
// The file read once, front to back, in large blocks.
bool Sha256OfFile(const std::wstring& path, Sha256Digest& digest);

bool VerifyP256(const p256::PublicKey& key, const Sha256Digest& digest, const p256::Signature& signature);
bool GenerateP256(p256::PrivateKey& key);
bool SignP256(const p256::PrivateKey& key, const Sha256Digest& digest, p256::Signature& signature);

}  // namespace nm::cng
