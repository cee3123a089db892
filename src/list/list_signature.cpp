#include "list/list_signature.h"

#include "base/base64.h"
#include "base/cng_crypto.h"
#include "base/file_ops.h"
#include "services/process_services.h"

namespace nm {

namespace {
bool ParseListKey(const std::wstring& key_text, p256::PublicKey& key) {
    std::string der;
    return base64::Decode(key_text, der) && p256::ParsePublicKey(der, key);
}

// A signature file is a hundred bytes of text; anything far larger is not one.
constexpr std::int64_t kLargestSignatureFile = 64 * 1024;
}  // namespace

std::wstring ListPublicKeySetting() { return Services().settings.Read(L"UPDATEINFO", L"ListPublicKey"); }

bool ListKeyUsable(const std::wstring& key_text) {
    p256::PublicKey key;
    return ParseListKey(key_text, key);
}

ListSignature VerifyListSignature(const std::wstring& key_text, const std::wstring& list_file,
                                  const std::wstring& signature_file) {
    p256::PublicKey key;
    if (!ParseListKey(key_text, key)) return ListSignature::key_unusable;
    std::string signature_text, signature_der;
    if (!files::ReadAll(signature_file, signature_text, kLargestSignatureFile)) return ListSignature::signature_missing;
    p256::Signature signature;
    cng::Sha256Digest digest;
    if (!base64::Decode(signature_text, signature_der) || !p256::ParseSignature(signature_der, signature) ||
        !cng::Sha256OfFile(list_file, digest) || !cng::VerifyP256(key, digest, signature))
        return ListSignature::signature_wrong;
    return ListSignature::verified;
}

std::wstring ListRefusalText(ListSignature signature) {
    switch (signature) {
    case ListSignature::verified:
        return {};
    case ListSignature::key_unusable:
        return TranslateMain(L"novamend.ini -> UPDATEINFO -> ListPublicKey is not a valid key");
    case ListSignature::signature_missing:
        return TranslateMain(L"The list file has no signature.");
    case ListSignature::signature_wrong:
        return TranslateMain(L"The signature of the list file is not valid.");
    }
    return {};
}

std::wstring OlderListText() { return TranslateMain(L"The list file is older than the installed version."); }

}  // namespace nm
