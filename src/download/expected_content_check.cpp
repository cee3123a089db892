#include "base/cng_crypto.h"
#include "base/file_ops.h"
#include "download/expected_content.h"

namespace nm {

bool HasExpectedContent(const ExpectedContent& expected, const std::wstring& path) {
    if (!expected.required) return true;
    if (expected.size && files::Size(path) != expected.size) return false;
    if (!expected.known) return expected.size.has_value();  // a signed list names every file's hash
    cng::Sha256Digest digest;
    return cng::Sha256OfFile(path, digest) && digest == expected.digest;
}

}  // namespace nm
