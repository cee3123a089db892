// portable: builds without Win32
#pragma once
// SHA-256 computed here, for the few bytes that must hash the same way in
// every build (the rollout bucket); files are hashed by the platform (cng).
#include <array>
#include <cstdint>
#include <string_view>

namespace nm::sha256 {

using Digest = std::array<std::uint8_t, 32>;
Digest Of(std::string_view bytes);

}  // namespace nm::sha256
