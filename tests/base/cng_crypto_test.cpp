#include "base/cng_crypto.h"

#include <gtest/gtest.h>

#include "base/base64.h"
#include "base/file_ops.h"
#include "base/hex.h"
#include "openssl_vectors.h"
#include "scratch_directory.h"

namespace nm {
namespace {

std::wstring Hex(const cng::Sha256Digest& digest) {
    return hex::Encode(std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()));
}

TEST(CngCrypto, Sha256OfBytesAndOfAFileReadInBlocks) {
    cng::Sha256Digest digest, of_file;
    ASSERT_TRUE(cng::Sha256Of("abc", digest));
    EXPECT_EQ(Hex(digest), L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    ScratchDirectory folder;
    std::string content(3 * 1024 * 1024 + 5, 'a');
    content[2 * 1024 * 1024] = 'b';
    ASSERT_TRUE(cng::Sha256Of(content, digest));
    ASSERT_TRUE(cng::Sha256OfFile(folder.Write(L"big.bin", content), of_file));
    EXPECT_EQ(of_file, digest);
    EXPECT_FALSE(cng::Sha256OfFile(folder.File(L"missing.bin"), of_file));
}

TEST(CngCrypto, VerifiesOpensslSignaturesAndItsOwn) {
    std::string der;
    p256::PublicKey openssl_key;
    p256::Signature signature;
    ASSERT_TRUE(base64::Decode(std::string_view(openssl_vectors::kPublicKey), der));
    ASSERT_TRUE(p256::ParsePublicKey(der, openssl_key));
    ASSERT_TRUE(base64::Decode(std::string_view(openssl_vectors::kSignature), der));
    ASSERT_TRUE(p256::ParseSignature(der, signature));
    cng::Sha256Digest digest;
    ASSERT_TRUE(cng::Sha256Of("abc", digest));
    EXPECT_TRUE(cng::VerifyP256(openssl_key, digest, signature));
    cng::Sha256Digest other = digest;
    other[0] ^= 1;
    EXPECT_FALSE(cng::VerifyP256(openssl_key, other, signature));

    p256::PrivateKey key;
    ASSERT_TRUE(cng::GenerateP256(key));
    ASSERT_TRUE(cng::SignP256(key, digest, signature));
    EXPECT_TRUE(cng::VerifyP256(key.public_key, digest, signature));
    EXPECT_FALSE(cng::VerifyP256(openssl_key, digest, signature));
}

}  // namespace
}  // namespace nm
