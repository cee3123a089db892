#include "install/zip_package.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "base/code_page.h"
#include "base/file_ops.h"
#include "base/scope_guard.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "install/zip_reader.h"

extern "C" {
#include "zip.h"
}

namespace nm {

namespace {
using zip::kCreateError;
using zip::kTooLarge;
using zip::kWriteError;
// Names without that flag are in the DOS code page of the first zip tools.
constexpr UINT kDosCodePage = 437;

// Writing through the zip layer over wide paths, so that archives can go
// into folders with any name.
voidpf ZCALLBACK OpenWide(voidpf, const void* filename, int mode) {
    if (!filename || !(mode & ZLIB_FILEFUNC_MODE_CREATE)) return nullptr;
    HANDLE file = ::CreateFileW(static_cast<const wchar_t*>(filename), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

uLong ZCALLBACK ReadWide(voidpf, voidpf stream, void* buffer, uLong size) {
    DWORD read = 0;
    if (!::ReadFile(stream, buffer, size, &read, nullptr)) return 0;
    return read;
}

uLong ZCALLBACK WriteWide(voidpf, voidpf stream, const void* buffer, uLong size) {
    DWORD written = 0;
    if (!::WriteFile(stream, buffer, size, &written, nullptr)) return 0;
    return written;
}

ZPOS64_T ZCALLBACK TellWide(voidpf, voidpf stream) {
    LARGE_INTEGER zero{}, position{};
    if (!::SetFilePointerEx(stream, zero, &position, FILE_CURRENT)) return static_cast<ZPOS64_T>(-1);
    return static_cast<ZPOS64_T>(position.QuadPart);
}

long ZCALLBACK SeekWide(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    DWORD method = FILE_BEGIN;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        method = FILE_CURRENT;
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        method = FILE_END;
    LARGE_INTEGER distance{};
    distance.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(stream, distance, nullptr, method) ? 0 : -1;
}

int ZCALLBACK CloseWide(voidpf, voidpf stream) { return ::CloseHandle(stream) ? 0 : -1; }
int ZCALLBACK ErrorWide(voidpf, voidpf) { return 0; }

zlib_filefunc64_def WideFileFunctions() {
    return {OpenWide, ReadWide, WriteWide, TellWide, SeekWide, CloseWide, ErrorWide, nullptr};
}

// An archive file read where the reader asks, with its own position.
class FileSource : public zip::Source {
public:
    explicit FileSource(const std::wstring& path)
        : file_(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    bool ok() const { return static_cast<bool>(file_); }
    std::uint64_t Size() override {
        LARGE_INTEGER size{};
        return file_ && ::GetFileSizeEx(file_.get(), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
    }
    std::size_t ReadAt(std::uint64_t position, void* buffer, std::size_t size) override {
        LARGE_INTEGER distance{};
        distance.QuadPart = static_cast<LONGLONG>(position);
        DWORD read = 0;
        if (!file_ || !::SetFilePointerEx(file_.get(), distance, nullptr, FILE_BEGIN) ||
            !::ReadFile(file_.get(), buffer, static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30)), &read, nullptr))
            return 0;
        return read;
    }

private:
    unique_hfile file_;
};

// An archive file with its reader, as ExtractEntry takes it.
struct OpenArchive {
    explicit OpenArchive(const std::wstring& path) : source(path), reader(source) {}
    FileSource source;
    zip::Reader reader;
};

void CreateMissingFolders(const std::wstring& file_path) {
    for (size_t i = 0; i < file_path.size(); ++i) {
        if (file_path[i] != L'\\' && file_path[i] != L'/') continue;
        if (i == 0 || file_path[i - 1] == L':') continue;  // the root of a drive or a share
        ::CreateDirectoryW(file_path.substr(0, i).c_str(), nullptr);
    }
}

// Attributes of a zip entry that mean something for a file on Windows.
DWORD EntryAttributes(std::uint32_t external) {
    const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    const DWORD attributes = static_cast<DWORD>(external) & kept;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

LONGLONG FileLength(const std::wstring& path) {
    unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size)) return -1;
    return size.QuadPart;
}

std::wstring EntryName(const zip::EntryInfo& info) {
    return info.utf8_name ? text::FromUtf8(info.name) : code_page::Decode(info.name, kDosCodePage);
}

// An entry into a file: its folders made, the entry's attributes, and the
// entry's time once all of it is written.
class FileWriter : public zip::EntrySink {
public:
    std::wstring destination;
    ZipEntryBytes watcher;    // may be empty
    std::int64_t limit = -1;  // the most bytes to write, when 0 or more

    int Begin(const zip::EntryInfo& info) override {
        written_ = 0;
        CreateMissingFolders(destination);
        out_.reset(::CreateFileW(destination.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 EntryAttributes(info.external_attributes), nullptr));
        return out_ ? 0 : kCreateError;
    }
    int Take(std::string_view block) override {
        written_ += static_cast<std::int64_t>(block.size());
        if (limit >= 0 && written_ > limit) return kTooLarge;
        DWORD written = 0;
        if (!::WriteFile(out_.get(), block.data(), static_cast<DWORD>(block.size()), &written, nullptr) ||
            written != block.size())
            return kWriteError;
        return !watcher || watcher(block) ? 0 : zip::kSinkRefused;
    }
    int End(const zip::EntryInfo& info) override {
        // The entry's time is local time in DOS form.
        FILETIME local{}, utc{};
        if (::DosDateTimeToFileTime(HIWORD(info.dos_time), LOWORD(info.dos_time), &local) &&
            ::LocalFileTimeToFileTime(&local, &utc))
            ::SetFileTime(out_.get(), &utc, nullptr, &utc);
        out_.reset();
        return 0;
    }

private:
    unique_hfile out_;
    std::int64_t written_ = 0;
};

// Hands each block to a function of the caller's.
class BytesSink : public zip::EntrySink {
public:
    explicit BytesSink(ZipEntryBytes take) : take_(std::move(take)) {}
    int Take(std::string_view block) override { return take_(block) ? 0 : zip::kSinkRefused; }

private:
    ZipEntryBytes take_;
};
}  // namespace

int ExtractEntry(void* archive_handle, int index, const std::wstring& destination, std::int64_t max_bytes) {
    FileWriter writer;
    writer.destination = destination;
    writer.limit = max_bytes;
    return static_cast<OpenArchive*>(archive_handle)->reader.ReadEntry(index, writer);
}

int ForEachZipEntry(const std::wstring& archive_path,
                    const std::function<std::wstring(const std::wstring& name)>& destination_for,
                    const std::function<ZipEntryBytes(const std::wstring& name)>& watcher_for) {
    OpenArchive archive(archive_path);
    FileWriter writer;
    return archive.reader.ForEach([&](const zip::EntryInfo& info) -> zip::EntrySink* {
        const std::wstring name = EntryName(info);
        writer.destination = destination_for(name);
        if (writer.destination.empty()) return nullptr;
        writer.watcher = watcher_for ? watcher_for(name) : ZipEntryBytes();
        return &writer;
    });
}

int ReadEachZipEntry(const std::wstring& archive_path,
                     const std::function<ZipEntryBytes(const std::wstring& name)>& bytes_for) {
    OpenArchive archive(archive_path);
    std::optional<BytesSink> sink;
    return archive.reader.ForEach([&](const zip::EntryInfo& info) -> zip::EntrySink* {
        ZipEntryBytes take = bytes_for(EntryName(info));
        if (!take) return nullptr;
        return &sink.emplace(std::move(take));
    });
}

ZipWriter::ZipWriter(const std::wstring& path) {
    zlib_filefunc64_def functions = WideFileFunctions();
    zip_ = zipOpen2_64(path.c_str(), APPEND_STATUS_CREATE, nullptr, &functions);
}

void* OpenZipArchive(const std::wstring& path) {
    auto archive = std::make_unique<OpenArchive>(path);
    return archive->reader.ok() ? archive.release() : nullptr;
}

void CloseZipArchive(void* archive) { delete static_cast<OpenArchive*>(archive); }

bool ExtractArchive(const std::wstring& archive_path, const std::wstring& destination, std::int64_t max_bytes) {
    // An existing destination that cannot be cleared stays as it is, and
    // nothing was extracted: that is no success.
    if (files::Exists(destination) && !files::Delete(destination)) return false;

    remove_unless_kept extracted(destination);
    void* archive = OpenZipArchive(archive_path);
    if (!archive) return false;
    const int result = ExtractEntry(archive, 0, destination, max_bytes);
    CloseZipArchive(archive);
    files::ClearAttributes(destination);  // whatever the archive said of them
    if (result != 0 && FileLength(archive_path) != static_cast<LONGLONG>(zip::kEmptyArchiveSize)) return false;
    extracted.keep();
    return true;
}

}  // namespace nm
