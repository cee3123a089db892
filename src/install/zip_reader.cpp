// portable: builds without Win32
#include "install/zip_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

extern "C" {
#include "unzip.h"
}

namespace nm::zip {

namespace {
static_assert(kNotAnArchive == UNZ_BADZIPFILE);
// General-purpose flag bit 11: the entry's name is UTF-8.
constexpr uLong kUtf8NameFlag = 0x800;

// The zip layer reads through these, with the source as the "file name" and
// a read position of its own as the stream.
struct Stream {
    Source* source;
    std::uint64_t position = 0;
};

voidpf ZCALLBACK OpenSource(voidpf, const void* source, int mode) {
    if (!source || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
    return new Stream{static_cast<Source*>(const_cast<void*>(source))};
}

uLong ZCALLBACK ReadSource(voidpf, voidpf stream, void* buffer, uLong size) {
    Stream& s = *static_cast<Stream*>(stream);
    const std::size_t read = s.source->ReadAt(s.position, buffer, size);
    s.position += read;
    return static_cast<uLong>(read);
}

uLong ZCALLBACK WriteNothing(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK TellSource(voidpf, voidpf stream) { return static_cast<Stream*>(stream)->position; }

long ZCALLBACK SeekSource(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    Stream& s = *static_cast<Stream*>(stream);
    // Relative moves come as two's-complement distances.
    std::uint64_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        base = s.position;
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        base = s.source->Size();
    else if (origin != ZLIB_FILEFUNC_SEEK_SET)
        return -1;
    const std::uint64_t target = base + offset;
    if (origin != ZLIB_FILEFUNC_SEEK_SET && static_cast<std::int64_t>(offset) < 0 && target > base) return -1;
    s.position = target;
    return 0;
}

int ZCALLBACK CloseSource(voidpf, voidpf stream) {
    delete static_cast<Stream*>(stream);
    return 0;
}

int ZCALLBACK NoError(voidpf, voidpf) { return 0; }

unzFile Archive(void* archive) { return static_cast<unzFile>(archive); }
}  // namespace

std::size_t MemorySource::ReadAt(std::uint64_t position, void* buffer, std::size_t size) {
    if (position >= bytes_.size()) return 0;
    const std::size_t count = std::min<std::uint64_t>(size, bytes_.size() - position);
    std::memcpy(buffer, bytes_.data() + position, count);
    return count;
}

Reader::Reader(Source& source) {
    zlib_filefunc64_def functions{OpenSource, ReadSource,  WriteNothing, TellSource,
                                  SeekSource, CloseSource, NoError,      nullptr};
    archive_ = unzOpen2_64(&source, &functions);
}

Reader::~Reader() {
    if (archive_) unzClose(Archive(archive_));
}

int Reader::CurrentInfo(EntryInfo& info) {
    unz_file_info64 stored{};
    int result = unzGetCurrentFileInfo64(Archive(archive_), &stored, nullptr, 0, nullptr, 0, nullptr, 0);
    if (result != UNZ_OK) return result;
    info.name.assign(stored.size_filename, '\0');
    result = unzGetCurrentFileInfo64(Archive(archive_), &stored, info.name.data(), static_cast<uLong>(info.name.size()),
                                     nullptr, 0, nullptr, 0);
    info.utf8_name = (stored.flag & kUtf8NameFlag) != 0;
    info.dos_time = static_cast<std::uint32_t>(stored.dosDate);
    info.external_attributes = static_cast<std::uint32_t>(stored.external_fa);
    return result;
}

int Reader::ReadCurrent(const EntryInfo& info, EntrySink& sink) {
    int result = sink.Begin(info);
    if (result != 0) return result;
    if ((result = unzOpenCurrentFile(Archive(archive_))) != UNZ_OK) return result;
    std::vector<char> block(kBlockSize);
    for (;;) {
        const int read = unzReadCurrentFile(Archive(archive_), block.data(), kBlockSize);
        if (read == 0) break;
        result = read < 0 ? read : sink.Take(std::string_view(block.data(), static_cast<std::size_t>(read)));
        if (result != 0) {
            unzCloseCurrentFile(Archive(archive_));
            return result;
        }
    }
    // Closing the entry is where a bad checksum shows.
    if ((result = unzCloseCurrentFile(Archive(archive_))) != UNZ_OK) return result;
    return sink.End(info);
}

int Reader::ReadEntry(int index, EntrySink& sink) {
    if (!archive_) return kNotAnArchive;
    int result = unzGoToFirstFile(Archive(archive_));
    for (int i = 0; result == UNZ_OK && i < index; ++i) result = unzGoToNextFile(Archive(archive_));
    EntryInfo info;
    if (result != UNZ_OK || (result = CurrentInfo(info)) != UNZ_OK) return result;
    return ReadCurrent(info, sink);
}

int Reader::ForEach(const std::function<EntrySink*(const EntryInfo&)>& choose) {
    if (!archive_) return kNotAnArchive;
    for (int result = unzGoToFirstFile(Archive(archive_)); result != UNZ_END_OF_LIST_OF_FILE;
         result = unzGoToNextFile(Archive(archive_))) {
        EntryInfo info;
        if (result != UNZ_OK || (result = CurrentInfo(info)) != UNZ_OK) return result;
        EntrySink* sink = choose(info);
        if (sink && (result = ReadCurrent(info, *sink)) != 0) return result;
    }
    return 0;
}

}  // namespace nm::zip
