// portable: builds without Win32
#include <gtest/gtest.h>

#include "base/base64.h"
#include "base/hex.h"
#include "base/p256_keys.h"
#include "openssl_vectors.h"

namespace nm {
namespace {
using namespace openssl_vectors;

std::string Decoded(const char* text) {
    std::string bytes;
    EXPECT_TRUE(base64::Decode(std::string_view(text), bytes)) << text;
    return bytes;
}

TEST(Base64, StandardVectorsAndStrictness) {
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"}};
    for (auto [plain, coded] : vectors) {
        EXPECT_EQ(base64::Encode(plain), coded);
        std::string bytes;
        EXPECT_TRUE(base64::Decode(std::string_view(coded), bytes));
        EXPECT_EQ(bytes, plain);
    }
    std::string bytes;
    EXPECT_TRUE(base64::Decode(std::wstring_view(L" Zm9v\r\nYmFy\n"), bytes));  // wrapped lines
    EXPECT_EQ(bytes, "foobar");
    for (const char* bad : {"Zg=", "Zg", "Zh==", "Z===", "Zm9v=", "Zg==Zg==", "Zm9*", "=Zm9"})
        EXPECT_FALSE(base64::Decode(std::string_view(bad), bytes)) << bad;
}

TEST(Hex, LowerCaseOutAnyCaseInNothingElse) {
    EXPECT_EQ(hex::Encode(std::string("\x00\xAB\x7f", 3)), L"00ab7f");
    std::string bytes;
    EXPECT_TRUE(hex::Decode(L"00aB7F", bytes));
    EXPECT_EQ(bytes, std::string("\x00\xAB\x7f", 3));
    for (const wchar_t* bad : {L"0", L"0g", L" 00", L"0x00"}) EXPECT_FALSE(hex::Decode(bad, bytes)) << bad;
}

TEST(P256Keys, OpensslFormsReadAndWriteBack) {
    const std::string spki = Decoded(kPublicKey);
    p256::PublicKey public_key;
    ASSERT_TRUE(p256::ParsePublicKey(spki, public_key));
    EXPECT_EQ(public_key.x[0], 0x50);
    EXPECT_EQ(public_key.y[31], 0x16);
    EXPECT_EQ(p256::PublicKeyDer(public_key), spki);

    // PKCS#8 and SEC1 of one key give the same key; ours is openssl's PKCS#8.
    p256::PrivateKey from_pkcs8, from_sec1;
    ASSERT_TRUE(p256::ParsePrivateKey(Decoded(kPkcs8), from_pkcs8));
    ASSERT_TRUE(p256::ParsePrivateKey(Decoded(kSec1), from_sec1));
    EXPECT_EQ(from_pkcs8.d, from_sec1.d);
    EXPECT_EQ(from_pkcs8.public_key.x, public_key.x);
    EXPECT_EQ(from_sec1.public_key.y, public_key.y);
    EXPECT_EQ(p256::PrivateKeyDer(from_pkcs8), Decoded(kPkcs8));
    std::string der;
    ASSERT_TRUE(p256::PemBlock("junk\n" + p256::Pem("PRIVATE KEY", Decoded(kPkcs8)), "PRIVATE KEY", der));
    EXPECT_EQ(der, Decoded(kPkcs8));
    EXPECT_FALSE(p256::PemBlock(p256::Pem("PRIVATE KEY", der), "EC PRIVATE KEY", der));

    // Another curve, a compressed point, a cut key, a trailing byte: refused.
    EXPECT_FALSE(p256::ParsePublicKey(Decoded(kP384Key), public_key));
    std::string compressed = spki;
    compressed[26] = 2;
    EXPECT_FALSE(p256::ParsePublicKey(compressed, public_key));
    EXPECT_FALSE(p256::ParsePublicKey(spki.substr(0, spki.size() - 1), public_key));
    EXPECT_FALSE(p256::ParsePublicKey(spki + '\0', public_key));
    EXPECT_FALSE(p256::ParsePrivateKey(Decoded(kPkcs8).substr(0, 100), from_pkcs8));
}

TEST(P256Keys, SignatureInItsOneDerEncoding) {
    const std::string der = Decoded(kSignature);
    p256::Signature signature;
    ASSERT_TRUE(p256::ParseSignature(der, signature));
    EXPECT_EQ(signature[0], 0x19);
    EXPECT_EQ(signature[32], 0x88);  // the leading zero of s is gone
    EXPECT_EQ(p256::SignatureDer(signature), der);
    // Short values are padded on the left; zero is no signature.
    p256::Signature small{};
    small[31] = 1;
    small[63] = 0x80;
    ASSERT_TRUE(p256::ParseSignature(p256::SignatureDer(small), signature));
    EXPECT_EQ(signature, small);
    EXPECT_FALSE(p256::ParseSignature(std::string("\x30\x06\x02\x01\x00\x02\x01\x01", 8), signature));
    // Negative, needlessly padded, long-form short length, too long: refused.
    for (const std::string& bad :
         {std::string("\x30\x06\x02\x01\x80\x02\x01\x01", 8), std::string("\x30\x07\x02\x02\x00\x01\x02\x01\x01", 9),
          std::string("\x30\x81\x06\x02\x01\x01\x02\x01\x01", 9),
          "\x30\x26\x02\x21\x01" + std::string(32, '\x01') + "\x02\x01\x01"})
        EXPECT_FALSE(p256::ParseSignature(bad, signature));
}

}  // namespace
}  // namespace nm
