// portable: builds without Win32
#include "base/p256_keys.h"

#include <algorithm>

#include "base/base64.h"
#include "base/der.h"

namespace nm::p256 {

namespace {
// id-ecPublicKey (1.2.840.10045.2.1) and prime256v1 (1.2.840.10045.3.1.7).
constexpr std::string_view kEcPublicKeyOid("\x2A\x86\x48\xCE\x3D\x02\x01", 7);
constexpr std::string_view kP256Oid("\x2A\x86\x48\xCE\x3D\x03\x01\x07", 8);

bool ReadP256Algorithm(der::Reader& outer) {
    std::string_view algorithm, key_type, curve;
    if (!outer.Read(der::kSequence, algorithm)) return false;
    der::Reader reader(algorithm);
    return reader.Read(der::kObjectId, key_type) && key_type == kEcPublicKeyOid && reader.Read(der::kObjectId, curve) &&
           curve == kP256Oid && reader.AtEnd();
}

std::string P256Algorithm() {
    return der::Element(der::kSequence,
                        der::Element(der::kObjectId, kEcPublicKeyOid) + der::Element(der::kObjectId, kP256Oid));
}

// A BIT STRING's contents holding an uncompressed point: no unused bits, 04, X, Y.
bool ParsePoint(std::string_view bits, PublicKey& key) {
    if (bits.size() != 66 || bits[0] != 0 || bits[1] != 4) return false;
    std::copy(bits.begin() + 2, bits.begin() + 34, key.x.begin());
    std::copy(bits.begin() + 34, bits.end(), key.y.begin());
    return true;
}

std::string PointBits(const PublicKey& key) {
    std::string bits("\x00\x04", 2);
    bits.append(key.x.begin(), key.x.end());
    bits.append(key.y.begin(), key.y.end());
    return der::Element(der::kBitString, bits);
}

// A positive INTEGER of at most 32 bytes, right-aligned into out.
bool ParseUnsigned(std::string_view contents, std::uint8_t* out) {
    if (contents.empty() || (static_cast<std::uint8_t>(contents[0]) & 0x80)) return false;
    if (contents.size() > 1 && contents[0] == 0 && !(static_cast<std::uint8_t>(contents[1]) & 0x80)) return false;
    if (contents[0] == 0) contents.remove_prefix(1);
    if (contents.size() > 32) return false;
    std::fill(out, out + 32, 0);
    std::copy(contents.begin(), contents.end(), out + (32 - contents.size()));
    return std::any_of(out, out + 32, [](std::uint8_t b) { return b != 0; });
}

std::string UnsignedElement(const std::uint8_t* value) {
    const std::uint8_t* first = std::find_if(value, value + 31, [](std::uint8_t b) { return b != 0; });
    std::string contents(first, value + 32);
    if (static_cast<std::uint8_t>(contents[0]) & 0x80) contents.insert(contents.begin(), '\0');
    return der::Element(der::kInteger, contents);
}

// ECPrivateKey: version 1, the 32-byte secret, the curve (optional when the
// enclosing PKCS#8 names it), the public point.
bool ParseEcPrivateKey(std::string_view der, bool curve_required, PrivateKey& key) {
    der::Reader outer(der);
    std::string_view body, version, secret, parameters, public_key;
    if (!outer.Read(der::kSequence, body) || !outer.AtEnd()) return false;
    der::Reader reader(body);
    if (!reader.Read(der::kInteger, version) || version != std::string_view("\x01", 1)) return false;
    if (!reader.Read(der::kOctetString, secret) || secret.size() != 32) return false;
    if (reader.ReadIf(der::kContext0, parameters)) {
        der::Reader curve_reader(parameters);
        std::string_view curve;
        if (!curve_reader.Read(der::kObjectId, curve) || curve != kP256Oid || !curve_reader.AtEnd()) return false;
    } else if (curve_required) {
        return false;
    }
    // The platform needs the public point beside the secret.
    if (!reader.Read(der::kContext1, public_key)) return false;
    std::string_view bits;
    der::Reader public_reader(public_key);
    if (!public_reader.Read(der::kBitString, bits) || !public_reader.AtEnd() || !ParsePoint(bits, key.public_key))
        return false;
    if (!reader.AtEnd()) return false;
    std::copy(secret.begin(), secret.end(), key.d.begin());
    return true;
}

std::string EcPrivateKeyDer(const PrivateKey& key) {
    return der::Element(der::kSequence, der::Element(der::kInteger, std::string_view("\x01", 1)) +
                                            der::Element(der::kOctetString, std::string(key.d.begin(), key.d.end())) +
                                            der::Element(der::kContext1, PointBits(key.public_key)));
}
}  // namespace

bool ParsePublicKey(std::string_view der, PublicKey& key) {
    der::Reader outer(der);
    std::string_view info, bits;
    if (!outer.Read(der::kSequence, info) || !outer.AtEnd()) return false;
    der::Reader reader(info);
    return ReadP256Algorithm(reader) && reader.Read(der::kBitString, bits) && reader.AtEnd() && ParsePoint(bits, key);
}

std::string PublicKeyDer(const PublicKey& key) {
    return der::Element(der::kSequence, P256Algorithm() + PointBits(key));
}

bool ParseSignature(std::string_view der, Signature& signature) {
    der::Reader outer(der);
    std::string_view body, r, s;
    if (!outer.Read(der::kSequence, body) || !outer.AtEnd()) return false;
    der::Reader reader(body);
    return reader.Read(der::kInteger, r) && reader.Read(der::kInteger, s) && reader.AtEnd() &&
           ParseUnsigned(r, signature.data()) && ParseUnsigned(s, signature.data() + 32);
}

std::string SignatureDer(const Signature& signature) {
    return der::Element(der::kSequence, UnsignedElement(signature.data()) + UnsignedElement(signature.data() + 32));
}

bool ParsePrivateKey(std::string_view der, PrivateKey& key) {
    der::Reader outer(der);
    std::string_view body, version, secret;
    if (!outer.Read(der::kSequence, body) || !outer.AtEnd()) return false;
    der::Reader reader(body);
    if (!reader.Read(der::kInteger, version)) return false;
    // SEC1 goes on with the secret, PKCS#8 with the algorithm.
    if (reader.NextTag() == der::kOctetString) return ParseEcPrivateKey(der, true, key);
    // PKCS#8 version 0 or 1; attributes and a trailing public key may follow.
    if (version != std::string_view("\x00", 1) && version != std::string_view("\x01", 1)) return false;
    return ReadP256Algorithm(reader) && reader.Read(der::kOctetString, secret) && ParseEcPrivateKey(secret, false, key);
}

std::string PrivateKeyDer(const PrivateKey& key) {
    return der::Element(der::kSequence, der::Element(der::kInteger, std::string_view("\x00", 1)) + P256Algorithm() +
                                            der::Element(der::kOctetString, EcPrivateKeyDer(key)));
}

bool PemBlock(std::string_view text, std::string_view label, std::string& der) {
    const std::string begin = "-----BEGIN " + std::string(label) + "-----";
    const std::string end = "-----END " + std::string(label) + "-----";
    const size_t start = text.find(begin);
    if (start == std::string_view::npos) return false;
    const size_t body = start + begin.size();
    const size_t stop = text.find(end, body);
    if (stop == std::string_view::npos) return false;
    return base64::Decode(text.substr(body, stop - body), der);
}

std::string Pem(std::string_view label, std::string_view der) {
    const std::string body = base64::Encode(der);
    std::string text = "-----BEGIN " + std::string(label) + "-----\n";
    for (size_t i = 0; i < body.size(); i += 64) text += body.substr(i, 64) + "\n";
    return text + "-----END " + std::string(label) + "-----\n";
}

}  // namespace nm::p256
