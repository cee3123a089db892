// portable: builds without Win32
#pragma once
// Signed releases: the list stands only when its signature, made with the
// vendor's key over the exact bytes of the list file, verifies against the
// public key of [UPDATEINFO] ListPublicKey. The judgement is the same in
// every build; the hashing and the verification are the build's own.
#include <array>
#include <cstdint>
#include <string>

#include "base/p256_keys.h"

namespace nm {

enum class ListSignature {
    verified,
    key_unusable,       // the setting is not a P-256 SubjectPublicKeyInfo in base64
    signature_missing,  // no signature could be fetched
    signature_wrong,    // not a signature, or not one of this list by this key
};

// Whether the setting's text is a key that lists can be verified with.
bool ListKeyUsable(const std::wstring& key_text);

// The SHA-256 of a file and the P-256 verification a build has.
struct SignatureMath {
    using Digest = std::array<std::uint8_t, 32>;
    bool (*digest_of_file)(const std::wstring& path, Digest& digest);
    bool (*verify)(const p256::PublicKey& key, const Digest& digest, const p256::Signature& signature);
};

// Judges the list file against the signature file (base64 of the DER
// signature over SHA-256 of the list's bytes).
ListSignature JudgeListSignature(const std::wstring& key_text, const std::wstring& list_file,
                                 const std::wstring& signature_file, const SignatureMath& math);

}  // namespace nm
