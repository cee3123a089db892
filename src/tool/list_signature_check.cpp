// portable: builds without Win32
#include "tool/list_signature_check.h"

#include "tool/file_digest.h"
#include "tool/p256_signing.h"

namespace nm::tool {

namespace {
bool DigestOf(const std::wstring& path, SignatureMath::Digest& digest) {
    std::uint64_t size = 0;
    return DigestOfFile(path, digest, size);
}
}  // namespace

ListSignature CheckListSignature(const std::wstring& key_text, const std::wstring& list_file,
                                 const std::wstring& signature_file) {
    return JudgeListSignature(key_text, list_file, signature_file, {DigestOf, signing::VerifyP256});
}

}  // namespace nm::tool
