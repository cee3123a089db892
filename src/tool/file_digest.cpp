// portable: builds without Win32
#include "tool/file_digest.h"

#include "base/file_ops.h"

namespace nm::tool {

bool DigestOfFile(const std::wstring& path, sha256::Digest& digest, std::uint64_t& size) {
    sha256::Hasher hasher;
    size = 0;
    const bool read = files::ReadInBlocks(path, [&](std::string_view block) {
        size += block.size();
        hasher.Add(block);
        return true;
    });
    if (read) digest = hasher.Finish();
    return read;
}

}  // namespace nm::tool
