// portable: builds without Win32
#pragma once
// SHA-256 computed here, for what must hash the same way in every build: the
// rollout bucket, and the vendor tool's lists, natively and on Windows. The
// updater hashes its downloads by the platform (cng).
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace nm::sha256 {

using Digest = std::array<std::uint8_t, 32>;
Digest Of(std::string_view bytes);

// The hash of bytes that arrive in pieces (a file read in blocks).
class Hasher {
public:
    void Add(std::string_view bytes);
    Digest Finish();

private:
    std::uint32_t state_[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                               0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::uint8_t block_[64] = {};
    std::size_t filled_ = 0;
    std::uint64_t length_ = 0;
};

}  // namespace nm::sha256
