#pragma once
// A fetched file of the update counts as finished only when its bytes are
// those its entry names: its sha256 and its size, wherever the list gives
// them. A signed list must give the sha256.
#include <cstdint>
#include <optional>
#include <string>

#include "base/sha256.h"
#include "list/download_list.h"

namespace nm {

struct ExpectedContent {
    bool required = false;  // the list names the bytes, or a list key is in force
    bool known = false;     // its entry carries a well-formed sha256
    sha256::Digest digest{};
    std::optional<std::int64_t> size;  // the entry's size, where the list gives it
};

// Nothing is required for the list itself (row -1), nor for an entry whose
// list says nothing of its bytes while no list key is in force
// ("ListPublicKey").
ExpectedContent ExpectedContentOf(DownLoadList& list, long row, bool list_key_in_force);
// The same for the entry with this path, for a caller that holds the list alone.
ExpectedContent ExpectedContentOfPath(const DownLoadList& list, const std::wstring& path, bool list_key_in_force);
// The digest the signed list names for an entry path; false when it names
// none or one that is not 64 hex digits.
bool SignedDigestOf(const DownLoadList& list, const std::wstring& path, sha256::Digest& digest);
// True when nothing is required, or the file has the expected size and its
// bytes (read once, hashed by the platform) hash to the expected digest
// (where one is known). In expected_content_check.cpp, apart from the
// rules above that every build shares.
bool HasExpectedContent(const ExpectedContent& expected, const std::wstring& path);

}  // namespace nm
