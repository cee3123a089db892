// portable: builds without Win32
#pragma once
// ECDSA P-256 keys and signatures in the forms openssl reads and writes:
// SubjectPublicKeyInfo, PKCS#8 and SEC1 private keys, ECDSA-Sig-Value, PEM.
// Only the encoding is here; the arithmetic is the platform's.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace nm::p256 {

using Coordinate = std::array<std::uint8_t, 32>;
struct PublicKey {
    Coordinate x{}, y{};
};
struct PrivateKey {
    PublicKey public_key;
    Coordinate d{};
};
// r and s, 32 bytes each, big-endian: the form the platform signs and verifies.
using Signature = std::array<std::uint8_t, 64>;

// SubjectPublicKeyInfo of an uncompressed P-256 point.
bool ParsePublicKey(std::string_view der, PublicKey& key);
std::string PublicKeyDer(const PublicKey& key);

// SEQUENCE of the two INTEGERs r and s, each positive and at most 32 bytes.
bool ParseSignature(std::string_view der, Signature& signature);
std::string SignatureDer(const Signature& signature);

// PKCS#8 ("PRIVATE KEY") or SEC1 ("EC PRIVATE KEY") of a P-256 key that
// carries its public point, as openssl writes both.
bool ParsePrivateKey(std::string_view der, PrivateKey& key);
// PKCS#8, with the public point.
std::string PrivateKeyDer(const PrivateKey& key);

// The bytes of the first PEM block with this label; false without one.
bool PemBlock(std::string_view text, std::string_view label, std::string& der);
std::string Pem(std::string_view label, std::string_view der);

}  // namespace nm::p256
