// portable: builds without Win32
// The only file that includes mbedTLS.
#include "tool/p256_signing.h"

#include <mbedtls/ctr_drbg.h>
#include <mbedtls/ecdsa.h>
#include <mbedtls/entropy.h>
#include <mbedtls/platform_util.h>

#include <cstring>

namespace nm::signing {

namespace {
// Each mbedTLS context, freed on every way out.
template <typename T, void (*Init)(T*), void (*Free)(T*)>
struct Owned {
    T value;
    Owned() { Init(&value); }
    ~Owned() { Free(&value); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
};
using Number = Owned<mbedtls_mpi, mbedtls_mpi_init, mbedtls_mpi_free>;
using Point = Owned<mbedtls_ecp_point, mbedtls_ecp_point_init, mbedtls_ecp_point_free>;
struct Group : Owned<mbedtls_ecp_group, mbedtls_ecp_group_init, mbedtls_ecp_group_free> {
    bool Load() { return mbedtls_ecp_group_load(&value, MBEDTLS_ECP_DP_SECP256R1) == 0; }
};
// A random generator seeded from the system's entropy.
struct Random {
    mbedtls_entropy_context entropy;
    mbedtls_ctr_drbg_context generator;
    bool seeded;
    Random() {
        mbedtls_entropy_init(&entropy);
        mbedtls_ctr_drbg_init(&generator);
        static const unsigned char kPurpose[] = "novamend-tool";
        seeded = mbedtls_ctr_drbg_seed(&generator, mbedtls_entropy_func, &entropy, kPurpose, sizeof kPurpose) == 0;
    }
    ~Random() {
        mbedtls_ctr_drbg_free(&generator);
        mbedtls_entropy_free(&entropy);
    }
    Random(const Random&) = delete;
    Random& operator=(const Random&) = delete;
};

bool WriteCoordinate(const mbedtls_mpi& value, p256::Coordinate& out) {
    return mbedtls_mpi_write_binary(&value, out.data(), out.size()) == 0;
}

bool ReadPoint(const mbedtls_ecp_group& group, const p256::PublicKey& key, mbedtls_ecp_point& point) {
    unsigned char uncompressed[65] = {0x04};
    std::memcpy(uncompressed + 1, key.x.data(), key.x.size());
    std::memcpy(uncompressed + 33, key.y.data(), key.y.size());
    return mbedtls_ecp_point_read_binary(&group, &point, uncompressed, sizeof uncompressed) == 0 &&
           mbedtls_ecp_check_pubkey(&group, &point) == 0;
}
}  // namespace

bool GenerateP256(p256::PrivateKey& key) {
    Group group;
    Number d;
    Point q;
    Random random;
    const bool made =
        random.seeded && group.Load() &&
        mbedtls_ecp_gen_keypair(&group.value, &d.value, &q.value, mbedtls_ctr_drbg_random, &random.generator) == 0 &&
        WriteCoordinate(d.value, key.d) && WriteCoordinate(q.value.X, key.public_key.x) &&
        WriteCoordinate(q.value.Y, key.public_key.y);
    return made;
}

bool SignP256(const p256::PrivateKey& key, const sha256::Digest& digest, p256::Signature& signature) {
    Group group;
    Number d, r, s;
    // The generator only blinds the arithmetic against timing; the
    // signature depends on the key and digest alone.
    Random random;
    p256::Coordinate r_bytes, s_bytes;
    const bool made =
        random.seeded && group.Load() && mbedtls_mpi_read_binary(&d.value, key.d.data(), key.d.size()) == 0 &&
        mbedtls_ecp_check_privkey(&group.value, &d.value) == 0 &&
        mbedtls_ecdsa_sign_det_ext(&group.value, &r.value, &s.value, &d.value, digest.data(), digest.size(),
                                   MBEDTLS_MD_SHA256, mbedtls_ctr_drbg_random, &random.generator) == 0 &&
        WriteCoordinate(r.value, r_bytes) && WriteCoordinate(s.value, s_bytes);
    if (!made) return false;
    std::memcpy(signature.data(), r_bytes.data(), r_bytes.size());
    std::memcpy(signature.data() + r_bytes.size(), s_bytes.data(), s_bytes.size());
    return true;
}

bool VerifyP256(const p256::PublicKey& key, const sha256::Digest& digest, const p256::Signature& signature) {
    Group group;
    Point q;
    Number r, s;
    return group.Load() && ReadPoint(group.value, key, q.value) &&
           mbedtls_mpi_read_binary(&r.value, signature.data(), 32) == 0 &&
           mbedtls_mpi_read_binary(&s.value, signature.data() + 32, 32) == 0 &&
           mbedtls_ecdsa_verify(&group.value, digest.data(), digest.size(), &q.value, &r.value, &s.value) == 0;
}

void Wipe(void* bytes, std::size_t size) { mbedtls_platform_zeroize(bytes, size); }

}  // namespace nm::signing
