#include "base/cng_crypto.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace nm::cng {

namespace {
bool Succeeded(NTSTATUS status) { return status >= 0; }

unique_bcrypt_algorithm OpenAlgorithm(const wchar_t* name) {
    unique_bcrypt_algorithm algorithm;
    if (!Succeeded(::BCryptOpenAlgorithmProvider(algorithm.put(), name, nullptr, 0))) algorithm.reset();
    return algorithm;
}

// The key blobs: a header, then X, Y and (private) d, 32 bytes each.
std::vector<std::uint8_t> KeyBlob(ULONG magic, const p256::PublicKey& key, const p256::Coordinate* secret) {
    const BCRYPT_ECCKEY_BLOB header{magic, 32};
    // Sized once and filled in place: growing it piece by piece trips a false
    // bounds warning of this compiler.
    std::vector<std::uint8_t> blob(sizeof(header) + 64 + (secret ? 32 : 0));
    std::memcpy(blob.data(), &header, sizeof(header));
    auto at = std::copy(key.x.begin(), key.x.end(), blob.begin() + sizeof(header));
    at = std::copy(key.y.begin(), key.y.end(), at);
    if (secret) std::copy(secret->begin(), secret->end(), at);
    return blob;
}

unique_bcrypt_key ImportKey(BCRYPT_ALG_HANDLE algorithm, const wchar_t* type, std::vector<std::uint8_t>& blob) {
    unique_bcrypt_key key;
    if (!Succeeded(::BCryptImportKeyPair(algorithm, nullptr, type, key.put(), blob.data(),
                                         static_cast<ULONG>(blob.size()), 0)))
        key.reset();
    return key;
}
}  // namespace

Sha256::Sha256() : algorithm_(OpenAlgorithm(BCRYPT_SHA256_ALGORITHM)) {
    ok_ = algorithm_ && Succeeded(::BCryptCreateHash(algorithm_.get(), hash_.put(), nullptr, 0, nullptr, 0, 0));
}

void Sha256::Add(std::string_view bytes) {
    if (!ok_) return;
    // One call takes at most 4 GiB.
    while (!bytes.empty()) {
        const ULONG piece = static_cast<ULONG>(std::min<size_t>(bytes.size(), 1u << 30));
        auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data()));
        if (!Succeeded(::BCryptHashData(hash_.get(), data, piece, 0))) ok_ = false;
        bytes.remove_prefix(piece);
    }
}

bool Sha256::Finish(Sha256Digest& digest) {
    return ok_ && Succeeded(::BCryptFinishHash(hash_.get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
}

bool Sha256Of(std::string_view bytes, Sha256Digest& digest) {
    Sha256 hash;
    hash.Add(bytes);
    return hash.Finish(digest);
}

bool Sha256OfFile(const std::wstring& path, Sha256Digest& digest) {
    unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    Sha256 hash;
    std::vector<char> block(1 << 20);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &read, nullptr)) return false;
        if (read == 0) break;
        hash.Add(std::string_view(block.data(), read));
    }
    return hash.Finish(digest);
}

bool VerifyP256(const p256::PublicKey& key, const Sha256Digest& digest, const p256::Signature& signature) {
    unique_bcrypt_algorithm algorithm = OpenAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!algorithm) return false;
    std::vector<std::uint8_t> blob = KeyBlob(BCRYPT_ECDSA_PUBLIC_P256_MAGIC, key, nullptr);
    unique_bcrypt_key imported = ImportKey(algorithm.get(), BCRYPT_ECCPUBLIC_BLOB, blob);
    if (!imported) return false;
    Sha256Digest hashed = digest;
    p256::Signature checked = signature;
    return Succeeded(::BCryptVerifySignature(imported.get(), nullptr, hashed.data(), static_cast<ULONG>(hashed.size()),
                                             checked.data(), static_cast<ULONG>(checked.size()), 0));
}

bool GenerateP256(p256::PrivateKey& key) {
    unique_bcrypt_algorithm algorithm = OpenAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    unique_bcrypt_key generated;
    if (!algorithm || !Succeeded(::BCryptGenerateKeyPair(algorithm.get(), generated.put(), 256, 0)) ||
        !Succeeded(::BCryptFinalizeKeyPair(generated.get(), 0)))
        return false;
    std::vector<std::uint8_t> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 3 * 32);
    ULONG written = 0;
    if (!Succeeded(::BCryptExportKey(generated.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, blob.data(),
                                     static_cast<ULONG>(blob.size()), &written, 0)) ||
        written != blob.size())
        return false;
    const std::uint8_t* part = blob.data() + sizeof(BCRYPT_ECCKEY_BLOB);
    std::copy_n(part, 32, key.public_key.x.begin());
    std::copy_n(part + 32, 32, key.public_key.y.begin());
    std::copy_n(part + 64, 32, key.d.begin());
    return true;
}

bool SignP256(const p256::PrivateKey& key, const Sha256Digest& digest, p256::Signature& signature) {
    unique_bcrypt_algorithm algorithm = OpenAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!algorithm) return false;
    std::vector<std::uint8_t> blob = KeyBlob(BCRYPT_ECDSA_PRIVATE_P256_MAGIC, key.public_key, &key.d);
    unique_bcrypt_key imported = ImportKey(algorithm.get(), BCRYPT_ECCPRIVATE_BLOB, blob);
    // The secret stays in memory no longer than needed.
    ::SecureZeroMemory(blob.data(), blob.size());
    if (!imported) return false;
    Sha256Digest hashed = digest;
    ULONG written = 0;
    return Succeeded(::BCryptSignHash(imported.get(), nullptr, hashed.data(), static_cast<ULONG>(hashed.size()),
                                      signature.data(), static_cast<ULONG>(signature.size()), &written, 0)) &&
           written == signature.size();
}

}  // namespace nm::cng
