// portable: builds without Win32
#include "download/expected_content.h"

#include <algorithm>

#include "base/hex.h"
#include "services/process_lock.h"

namespace nm {

ExpectedContent ExpectedContentOf(DownLoadList& list, long row, bool list_key_in_force) {
    ExpectedContent expected;
    if (row < 0) return expected;
    std::wstring path;
    {
        ScopedLock lock(ProcessLock::EntryMessage);
        if (row >= list.FileCount()) return expected;
        path = list.entries[row].path;
    }
    // The hashes are written by the check step alone, before any download.
    return ExpectedContentOfPath(list, path, list_key_in_force);
}

ExpectedContent ExpectedContentOfPath(const DownLoadList& list, const std::wstring& path, bool list_key_in_force) {
    ExpectedContent expected;
    expected.known = SignedDigestOf(list, path, expected.digest);
    if (const auto size = list.file_sizes.find(path); size != list.file_sizes.end()) expected.size = size->second;
    // Whenever the list says what to expect, the bytes are held to it, signed or not.
    expected.required = list_key_in_force || expected.known || expected.size.has_value();
    return expected;
}

bool SignedDigestOf(const DownLoadList& list, const std::wstring& path, sha256::Digest& digest) {
    const auto found = list.file_hashes.find(path);
    std::string bytes;
    if (found == list.file_hashes.end() || !hex::Decode(found->second, bytes) || bytes.size() != digest.size())
        return false;
    std::copy(bytes.begin(), bytes.end(), digest.begin());
    return true;
}

}  // namespace nm
