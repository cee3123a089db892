#pragma once
// Signed releases: the list stands only when its signature, made with the
// vendor's key over the exact bytes of the list file, verifies against the
// public key of [UPDATEINFO] ListPublicKey.
#include <string>

namespace nm {

enum class ListSignature {
    verified,
    key_unusable,       // the setting is not a P-256 SubjectPublicKeyInfo in base64
    signature_missing,  // no signature could be fetched
    signature_wrong,    // not a signature, or not one of this list by this key
};

// The setting's text; empty when releases are not signed.
std::wstring ListPublicKeySetting();

// Whether the setting's text is a key that lists can be verified with.
bool ListKeyUsable(const std::wstring& key_text);

// Verifies the list file against the signature file (base64 of the DER
// signature over SHA-256 of the list's bytes).
ListSignature VerifyListSignature(const std::wstring& key_text, const std::wstring& list_file,
                                  const std::wstring& signature_file);

// What the user reads about a refused list, wherever it came from: "" for a
// list that stands.
std::wstring ListRefusalText(ListSignature signature);
// ... and about a signed list older than the installed one.
std::wstring OlderListText();

}  // namespace nm
