// portable: builds without Win32
#pragma once
// The sha256 and size of a file as the tool writes and signs them, the same
// in every build.
#include <cstdint>
#include <string>

#include "base/sha256.h"

namespace nm::tool {

// The size is of the bytes hashed, so the two always agree. False when the
// file cannot be read (the system's reason kept for the caller).
bool DigestOfFile(const std::wstring& path, sha256::Digest& digest, std::uint64_t& size);

}  // namespace nm::tool
