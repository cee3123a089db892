#pragma once
// Signed releases: a fetched file of the update counts as finished only when
// its bytes are those its entry's sha256 names in the signed list.
#include <string>

#include "base/cng_crypto.h"
#include "list/download_list.h"

namespace nm {

struct ExpectedContent {
    bool required = false;  // a list key is in force and the row is a file of the update
    bool known = false;     // its entry carries a well-formed sha256
    cng::Sha256Digest digest{};
};

// Nothing is required unless a list key is in force ("ListPublicKey").
ExpectedContent ExpectedContentOf(DownLoadList& list, long row, bool list_key_in_force);
// The digest the signed list names for an entry path; false when it names
// none or one that is not 64 hex digits.
bool SignedDigestOf(const DownLoadList& list, const std::wstring& path, cng::Sha256Digest& digest);
// True when nothing is required, or the file's bytes (read once) hash to the
// expected digest.
bool HasExpectedContent(const ExpectedContent& expected, const std::wstring& path);

}  // namespace nm
