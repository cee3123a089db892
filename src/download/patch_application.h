#pragma once
// Making a file of the update from its installed version and a patch the
// list names for it. The checks are the same whether the patch was fetched
// from the server or came in an offline package.
#include <string>

#include "download/expected_content.h"
#include "list/download_list.h"

namespace nm {

// The sha256 of a file as lists write it (lower-case hex); false when the
// file cannot be read.
bool Sha256TextOfFile(const std::wstring& path, std::wstring& sha256);

// Applies the patch at patch_file (which must have the patch's size and
// sha256) to the installed file and writes the result to `result`, which
// must then have the entry's size and sha256 (`expected` must name both).
// The patch file is removed either way. "" when the result stands;
// otherwise why not, with no result left behind.
std::wstring ApplyPatchFile(const DownLoadList::FilePatch& patch, const std::wstring& patch_file,
                            const std::wstring& installed, const ExpectedContent& expected, const std::wstring& result);

}  // namespace nm
