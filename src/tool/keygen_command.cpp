// portable: builds without Win32
// keygen: a new signing key for releases. The private key goes to a file in
// the form openssl reads (PKCS#8 PEM); the public key is printed as the text
// of [UPDATEINFO] ListPublicKey.
#include <cstdio>

#include "base/base64.h"
#include "base/file_ops.h"
#include "base/p256_keys.h"
#include "tool/p256_signing.h"
#include "tool/tool_commands.h"

namespace nm::tool {

int Keygen(const Arguments& args) {
    if (args.size() != 1) {
        std::fwprintf(stderr, L"usage: novamend-tool keygen KEY_FILE\n");
        return 2;
    }
    const std::wstring& key_file = args[0];
    // A vendor's key signs every release to come: never replace one.
    if (files::Exists(key_file)) return Refuse(L"keygen", L"the key file exists already", key_file);
    p256::PrivateKey key;
    if (!signing::GenerateP256(key)) return Fail(L"keygen", L"cannot make a key", L"");
    std::string pem = p256::Pem("PRIVATE KEY", p256::PrivateKeyDer(key));
    const bool written = files::WriteAll(key_file, pem);
    signing::Wipe(pem.data(), pem.size());
    signing::Wipe(key.d.data(), key.d.size());
    if (!written) return Fail(L"keygen", L"cannot write", key_file);
    std::printf("%s\n", base64::Encode(p256::PublicKeyDer(key.public_key)).c_str());
    return 0;
}

}  // namespace nm::tool
