// portable: builds without Win32
#include "list/signed_list.h"

#include "base/base64.h"
#include "base/file_ops.h"

namespace nm {

namespace {
bool ParseListKey(const std::wstring& key_text, p256::PublicKey& key) {
    std::string der;
    return base64::Decode(key_text, der) && p256::ParsePublicKey(der, key);
}

// A signature file is a hundred bytes of text; anything far larger is not one.
constexpr std::int64_t kLargestSignatureFile = 64 * 1024;
}  // namespace

bool ListKeyUsable(const std::wstring& key_text) {
    p256::PublicKey key;
    return ParseListKey(key_text, key);
}

ListSignature JudgeListSignature(const std::wstring& key_text, const std::wstring& list_file,
                                 const std::wstring& signature_file, const SignatureMath& math) {
    p256::PublicKey key;
    if (!ParseListKey(key_text, key)) return ListSignature::key_unusable;
    std::string signature_text, signature_der;
    if (!files::ReadAll(signature_file, signature_text, kLargestSignatureFile)) return ListSignature::signature_missing;
    p256::Signature signature;
    SignatureMath::Digest digest;
    if (!base64::Decode(signature_text, signature_der) || !p256::ParseSignature(signature_der, signature) ||
        !math.digest_of_file(list_file, digest) || !math.verify(key, digest, signature))
        return ListSignature::signature_wrong;
    return ListSignature::verified;
}

}  // namespace nm
