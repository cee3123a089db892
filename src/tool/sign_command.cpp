// portable: builds without Win32
// sign: the signature of a list as the updater checks it, written beside the
// list as LIST.sig: base64 of the DER signature over SHA-256 of its bytes.
// The same key and list give the same signature in every build.
#include <cstdio>

#include "base/base64.h"
#include "base/file_ops.h"
#include "base/p256_keys.h"
#include "tool/file_digest.h"
#include "tool/p256_signing.h"
#include "tool/tool_commands.h"

namespace nm::tool {

namespace {
constexpr std::int64_t kLargestKeyFile = 64 * 1024;

// A key from keygen or openssl: PKCS#8 ("PRIVATE KEY") or SEC1 ("EC PRIVATE KEY").
bool ReadPrivateKey(const std::string& text, p256::PrivateKey& key) {
    std::string der;
    const bool parsed = (p256::PemBlock(text, "PRIVATE KEY", der) || p256::PemBlock(text, "EC PRIVATE KEY", der)) &&
                        p256::ParsePrivateKey(der, key);
    signing::Wipe(der.data(), der.size());
    return parsed;
}
}  // namespace

int Sign(const Arguments& args) {
    if (args.size() != 2) {
        std::fwprintf(stderr, L"usage: novamend-tool sign KEY_FILE LIST\n");
        return 2;
    }
    const std::wstring &key_file = args[0], &list = args[1];
    std::string key_text;
    if (!files::ReadAll(key_file, key_text, kLargestKeyFile))
        return CannotRead(L"sign", L"a private key file", key_file, kLargestKeyFile);
    p256::PrivateKey key;
    const bool parsed = ReadPrivateKey(key_text, key);
    signing::Wipe(key_text.data(), key_text.size());
    if (!parsed)
        return Refuse(L"sign", L"not an unencrypted P-256 private key (PKCS#8 or EC PRIVATE KEY PEM)", key_file);
    sha256::Digest digest;
    std::uint64_t list_size = 0;
    if (!DigestOfFile(list, digest, list_size)) return CannotRead(L"sign", L"an update list", list);
    p256::Signature signature;
    const bool signed_ok = signing::SignP256(key, digest, signature);
    signing::Wipe(key.d.data(), key.d.size());
    if (!signed_ok) return Refuse(L"sign", L"the key cannot sign", key_file);
    // A key file whose public part does not belong to its secret signs
    // nothing any updater accepts: say so now, not at the clients.
    if (!signing::VerifyP256(key.public_key, digest, signature))
        return Refuse(L"sign", L"the key's public part does not match its secret", key_file);
    const std::wstring signature_file = list + L".sig";
    if (!files::WriteAll(signature_file, base64::Encode(p256::SignatureDer(signature)) + "\n"))
        return Fail(L"sign", L"cannot write", signature_file);
    return 0;
}

}  // namespace nm::tool
