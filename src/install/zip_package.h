#pragma once
// Zip packages on disk: the first entry of an archive extracted to a path the
// caller chooses, every entry of an offline package walked, and the archives
// the vendor tool writes. Reading goes through zip_reader.h.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace nm {

// True when the destination now holds the archive's first entry (or the
// archive is of the 158-byte empty kind). False when the archive cannot be
// read or extracted, with no destination left behind, and false when an
// existing destination cannot be deleted (it is then left as it was).
// An entry that inflates to more than `max_bytes` (when 0 or more) is not
// extracted: an archive of a few kilobytes could otherwise fill the disk.
bool ExtractArchive(const std::wstring& archive, const std::wstring& destination, std::int64_t max_bytes = -1);

// The entry with the given index of an open archive (an unzFile) into the
// destination, in blocks of 16384 bytes, with the entry's attributes and
// time, and at most `max_bytes` of it (when 0 or more). 0 on success, a
// non-zero error code otherwise.
int ExtractEntry(void* archive, int index, const std::wstring& destination, std::int64_t max_bytes = -1);

// An archive opened for ExtractEntry (nullptr when it cannot be read), and
// its release.
void* OpenZipArchive(const std::wstring& path);
void CloseZipArchive(void* archive);

// Every entry of an archive in order: destination_for(name) gives where to
// extract it, or "" to leave it. 0 when the whole archive was read and every
// chosen entry extracted (checksums included); otherwise a non-zero code and
// the walk stops.
// Takes one block of an entry's data; false stops the walk.
using ZipEntryBytes = std::function<bool(std::string_view block)>;
// watcher_for(name), when given, may also take each block of an extracted
// entry as it is written (to hash it in the same pass).
int ForEachZipEntry(const std::wstring& archive,
                    const std::function<std::wstring(const std::wstring& name)>& destination_for,
                    const std::function<ZipEntryBytes(const std::wstring& name)>& watcher_for = {});

// Every entry of an archive in order, read without writing anything:
// bytes_for(name) gives what takes the entry's data, or an empty function to
// pass it by. 0 as for ForEachZipEntry, checksums included.
int ReadEachZipEntry(const std::wstring& archive,
                     const std::function<ZipEntryBytes(const std::wstring& name)>& bytes_for);

// A new archive, written entry by entry: names stored as UTF-8, data deflated.
class ZipWriter {
public:
    explicit ZipWriter(const std::wstring& path);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Hands the entry's data to the archive; false when it could not take them.
    using AppendBytes = std::function<bool(std::string_view bytes)>;
    // One entry whose data produce() appends; dos_time is the entry's time in
    // DOS form (date in the high word). False when anything failed.
    bool Add(const std::wstring& name, const std::function<bool(const AppendBytes&)>& produce, std::uint32_t dos_time);
    // Writes the archive's directory; false when the archive is not complete.
    bool Close();

private:
    void* zip_ = nullptr;
};

}  // namespace nm
