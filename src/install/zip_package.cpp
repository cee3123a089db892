#include "install/zip_package.h"

#include <windows.h>

#include <vector>

#include "base/code_page.h"
#include "base/file_ops.h"
#include "base/scope_guard.h"
#include "base/text.h"
#include "base/unique_handle.h"

extern "C" {
#include "unzip.h"
#include "zip.h"
}

namespace nm {

namespace {
constexpr int kBlockSize = 16384;
// An archive of exactly this size holds one empty file; the zip layer may
// report a failure for it that is not one.
constexpr LONGLONG kEmptyArchiveSize = 158;
constexpr int kCreateError = -1001;
constexpr int kWriteError = -1002;
// General-purpose flag bit 11: the entry's name is UTF-8.
constexpr uLong kUtf8NameFlag = 0x800;
// Names without that flag are in the DOS code page of the first zip tools.
constexpr UINT kDosCodePage = 437;

// File access for the zip layer over wide paths, so that archives in
// folders with any name can be read.
voidpf ZCALLBACK OpenWide(voidpf, const void* filename, int mode) {
    if (!filename) return nullptr;
    HANDLE file = INVALID_HANDLE_VALUE;
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ)
        file = ::CreateFileW(static_cast<const wchar_t*>(filename), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    else if (mode & ZLIB_FILEFUNC_MODE_CREATE)
        file = ::CreateFileW(static_cast<const wchar_t*>(filename), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
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
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) method = FILE_CURRENT;
    else if (origin == ZLIB_FILEFUNC_SEEK_END) method = FILE_END;
    LARGE_INTEGER distance{};
    distance.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(stream, distance, nullptr, method) ? 0 : -1;
}

int ZCALLBACK CloseWide(voidpf, voidpf stream) { return ::CloseHandle(stream) ? 0 : -1; }
int ZCALLBACK ErrorWide(voidpf, voidpf) { return 0; }

zlib_filefunc64_def WideFileFunctions() {
    return {OpenWide, ReadWide, WriteWide, TellWide, SeekWide, CloseWide, ErrorWide, nullptr};
}

unzFile OpenArchive(const std::wstring& path) {
    zlib_filefunc64_def functions = WideFileFunctions();
    return unzOpen2_64(path.c_str(), &functions);
}

void CreateMissingFolders(const std::wstring& file_path) {
    for (size_t i = 0; i < file_path.size(); ++i) {
        if (file_path[i] != L'\\' && file_path[i] != L'/') continue;
        if (i == 0 || file_path[i - 1] == L':') continue;  // the root of a drive or a share
        ::CreateDirectoryW(file_path.substr(0, i).c_str(), nullptr);
    }
}

// Attributes of a zip entry that mean something for a file on Windows.
DWORD EntryAttributes(uLong external) {
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

// The name of the current entry: UTF-8 when the entry says so, else the
// DOS code page zip archives were made with.
int CurrentEntryName(unzFile archive, std::wstring& name) {
    unz_file_info64 info{};
    int result = unzGetCurrentFileInfo64(archive, &info, nullptr, 0, nullptr, 0, nullptr, 0);
    if (result != UNZ_OK) return result;
    std::string bytes(info.size_filename, '\0');
    result = unzGetCurrentFileInfo64(archive, &info, bytes.data(), static_cast<uLong>(bytes.size()), nullptr, 0,
                                     nullptr, 0);
    if (result != UNZ_OK) return result;
    name = (info.flag & kUtf8NameFlag) ? text::FromUtf8(bytes) : code_page::Decode(bytes, kDosCodePage);
    return UNZ_OK;
}

int ExtractCurrentEntry(unzFile archive, const std::wstring& destination) {
    unz_file_info64 info{};
    int result = unzGetCurrentFileInfo64(archive, &info, nullptr, 0, nullptr, 0, nullptr, 0);
    if (result != UNZ_OK) return result;

    CreateMissingFolders(destination);
    unique_hfile out(::CreateFileW(destination.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   EntryAttributes(info.external_fa), nullptr));
    if (!out) return kCreateError;

    result = unzOpenCurrentFile(archive);
    if (result != UNZ_OK) return result;
    std::vector<char> block(kBlockSize);
    for (;;) {
        const int read = unzReadCurrentFile(archive, block.data(), kBlockSize);
        if (read < 0) {
            unzCloseCurrentFile(archive);
            return read;
        }
        if (read == 0) break;
        DWORD written = 0;
        if (!::WriteFile(out.get(), block.data(), static_cast<DWORD>(read), &written, nullptr) ||
            written != static_cast<DWORD>(read)) {
            unzCloseCurrentFile(archive);
            return kWriteError;
        }
    }
    // Closing the entry is where a bad checksum shows.
    result = unzCloseCurrentFile(archive);
    if (result != UNZ_OK) return result;

    // The entry's time is local time in DOS form.
    FILETIME local{}, utc{};
    if (::DosDateTimeToFileTime(HIWORD(info.dosDate), LOWORD(info.dosDate), &local) &&
        ::LocalFileTimeToFileTime(&local, &utc))
        ::SetFileTime(out.get(), &utc, nullptr, &utc);
    return 0;
}
}  // namespace

int ExtractEntry(void* archive_handle, int index, const std::wstring& destination) {
    unzFile archive = static_cast<unzFile>(archive_handle);
    int result = unzGoToFirstFile(archive);
    for (int i = 0; result == UNZ_OK && i < index; ++i) result = unzGoToNextFile(archive);
    if (result != UNZ_OK) return result;
    return ExtractCurrentEntry(archive, destination);
}

int ForEachZipEntry(const std::wstring& archive_path,
                    const std::function<std::wstring(const std::wstring& name)>& destination_for) {
    unzFile archive = OpenArchive(archive_path);
    if (!archive) return UNZ_BADZIPFILE;
    scope_exit close([archive] { unzClose(archive); });
    for (int result = unzGoToFirstFile(archive); result != UNZ_END_OF_LIST_OF_FILE;
         result = unzGoToNextFile(archive)) {
        if (result != UNZ_OK) return result;
        std::wstring name;
        if ((result = CurrentEntryName(archive, name)) != UNZ_OK) return result;
        const std::wstring destination = destination_for(name);
        if (!destination.empty() && (result = ExtractCurrentEntry(archive, destination)) != 0) return result;
    }
    return 0;
}

ZipWriter::ZipWriter(const std::wstring& path) {
    zlib_filefunc64_def functions = WideFileFunctions();
    zip_ = zipOpen2_64(path.c_str(), APPEND_STATUS_CREATE, nullptr, &functions);
}

ZipWriter::~ZipWriter() {
    if (zip_) zipClose(static_cast<zipFile>(zip_), nullptr);
}

bool ZipWriter::Add(const std::wstring& name, const std::function<bool(const AppendBytes&)>& produce,
                    std::uint32_t dos_time) {
    if (!zip_) return false;
    zipFile zip = static_cast<zipFile>(zip_);
    zip_fileinfo info{};
    info.dosDate = dos_time;
    const std::string stored_name = text::ToUtf8(name);
    // Made by DOS (0): the external attributes are Windows attributes.
    if (zipOpenNewFileInZip4_64(zip, stored_name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                                0, kUtf8NameFlag, 0) != ZIP_OK)
        return false;
    const bool produced = produce([zip](std::string_view bytes) {
        return zipWriteInFileInZip(zip, bytes.data(), static_cast<unsigned>(bytes.size())) == ZIP_OK;
    });
    return zipCloseFileInZip(zip) == ZIP_OK && produced;
}

bool ZipWriter::Close() {
    if (!zip_) return false;
    const bool closed = zipClose(static_cast<zipFile>(zip_), nullptr) == ZIP_OK;
    zip_ = nullptr;
    return closed;
}

void* OpenZipArchive(const std::wstring& path) { return OpenArchive(path); }

void CloseZipArchive(void* archive) {
    if (archive) unzClose(static_cast<unzFile>(archive));
}

bool ExtractArchive(const std::wstring& archive_path, const std::wstring& destination) {
    // An existing destination that cannot be cleared stays as it is, and
    // nothing was extracted: that is no success.
    if (files::Exists(destination) && !files::Delete(destination)) return false;

    remove_unless_kept extracted(destination);
    unzFile archive = OpenArchive(archive_path);
    if (!archive) return false;
    const int result = ExtractEntry(archive, 0, destination);
    unzClose(archive);
    ::SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (result != 0 && FileLength(archive_path) != kEmptyArchiveSize) return false;
    extracted.keep();
    return true;
}

}  // namespace nm
