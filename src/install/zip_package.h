#pragma once
// Zip packages: the first entry of an archive extracted to a path the caller
// chooses. The only user of the zip reading layer.
#include <string>

namespace nm {

// True when the destination now holds the archive's first entry (or the
// archive is of the 158-byte empty kind). False when the archive cannot be
// read or extracted, with no destination left behind, and false when an
// existing destination cannot be deleted (it is then left as it was).
bool ExtractArchive(const std::wstring& archive, const std::wstring& destination);

// The entry with the given index of an open archive (an unzFile) into the
// destination, in blocks of 16384 bytes, with the entry's attributes and
// time. 0 on success, a non-zero error code otherwise.
int ExtractEntry(void* archive, int index, const std::wstring& destination);

// An archive opened for ExtractEntry (nullptr when it cannot be read), and
// its release.
void* OpenZipArchive(const std::wstring& path);
void CloseZipArchive(void* archive);

}  // namespace nm
