#include "download/patch_application.h"

#include <string_view>

#include "base/cng_crypto.h"
#include "base/file_ops.h"
#include "base/hex.h"
#include "base/text.h"
#include "download/delta_apply.h"
#include "download/delta_make.h"

namespace nm {

bool Sha256TextOfFile(const std::wstring& path, std::wstring& sha256) {
    cng::Sha256Digest digest;
    if (!cng::Sha256OfFile(path, digest)) return false;
    sha256 = hex::EncodeDigest(digest);
    return true;
}

std::wstring ApplyPatchFile(const DownLoadList::FilePatch& patch, const std::wstring& patch_file,
                            const std::wstring& installed, const ExpectedContent& expected,
                            const std::wstring& result) {
    std::wstring patch_sha256;
    std::string old_file, patch_bytes, error;
    const bool patch_intact = files::Size(patch_file) == patch.size && Sha256TextOfFile(patch_file, patch_sha256) &&
                              patch_sha256 == patch.sha256 && files::ReadAll(patch_file, patch_bytes, patch.size);
    files::Delete(patch_file);
    // The result is held to the entry's bytes, so an entry that names none takes no patch.
    if (!expected.known || !expected.size) return L"the entry names no sha256 and size";
    if (!patch_intact) return L"the patch differs from its size or sha256";
    if (!files::ReadAll(installed, old_file, static_cast<std::int64_t>(delta::kMaximumOldSize)))
        return L"cannot read " + installed;
    // Written as it is made: the new version is never in memory whole.
    bool written = true;
    const bool applied = files::WriteInPieces(result, [&](const delta::PieceWriter& write) {
        return delta::ApplyPatch(
            old_file, patch_bytes, static_cast<std::uint64_t>(*expected.size),
            [&](std::string_view piece) { return written = write(piece); }, error);
    });
    if (applied && HasExpectedContent(expected, result)) return L"";
    files::Delete(result);
    if (!written || (!applied && error.empty())) return L"cannot write " + result;
    return applied ? L"the patched file differs from the entry's sha256" : text::FromUtf8(error);
}

}  // namespace nm
