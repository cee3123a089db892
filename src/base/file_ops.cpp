#include "base/file_ops.h"

#include <windows.h>

#include <iterator>
#include <vector>

#include "base/unique_handle.h"

namespace nm::files {

namespace {
constexpr int kTries = 20;
constexpr DWORD kPauseMs = 800;

template <typename Done>
bool Retry(Done done) {
    for (int attempt = 0; attempt < kTries; ++attempt) {
        if (done()) return true;
        ::Sleep(kPauseMs);
    }
    return done();
}

// The folder part of a file path; empty when it has none.
std::wstring ParentOf(const std::wstring& file_path) {
    const size_t slash = file_path.find_last_of(L"\\/");
    return slash != std::wstring::npos && slash > 0 ? file_path.substr(0, slash) : std::wstring();
}
}  // namespace

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring FullPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH * 4];
    const DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(std::size(buffer)), buffer, nullptr);
    return length > 0 && length < std::size(buffer) ? std::wstring(buffer) : path;
}

bool Delete(const std::wstring& path) {
    if (::DeleteFileW(path.c_str())) return true;
    // Only a read-only file needs its attributes cleared; asking first would
    // cost a second look for every name that is not there.
    if (::GetLastError() != ERROR_ACCESS_DENIED) return false;
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::DeleteFileW(path.c_str()) != FALSE;
}

bool Move(const std::wstring& from, const std::wstring& to) { return ::MoveFileW(from.c_str(), to.c_str()) != FALSE; }

bool MoveReplacing(const std::wstring& from, const std::wstring& to) {
    return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool CopyReplacing(const std::wstring& from, const std::wstring& to) {
    return ::CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

bool ClearAttributes(const std::wstring& path) {
    return ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL) != FALSE;
}

bool RemoveEmptyDirectory(const std::wstring& directory) { return ::RemoveDirectoryW(directory.c_str()) != FALSE; }

std::optional<std::int64_t> Size(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool ReadAll(const std::wstring& path, std::string& bytes, std::int64_t max_bytes) {
    unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > max_bytes) return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && !::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        return false;
    bytes.resize(read);
    return true;
}

bool WriteAll(const std::wstring& path, std::string_view bytes) {
    unique_hfile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

NewFile WriteNew(const std::wstring& path, std::string_view bytes) {
    unique_hfile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ::GetLastError() == ERROR_FILE_EXISTS ? NewFile::kExists : NewFile::kFailed;
    DWORD written = 0;
    if (::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size())
        return NewFile::kWritten;
    const DWORD error = ::GetLastError();
    file.reset();
    Delete(path);
    ::SetLastError(error);
    return NewFile::kFailed;
}

bool ReadInBlocks(const std::wstring& path, const std::function<bool(std::string_view block)>& sink) {
    unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::vector<char> block(64 * 1024);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &read, nullptr)) return false;
        if (read == 0) return true;
        if (!sink(std::string_view(block.data(), read))) return false;
    }
}

bool WriteInPieces(const std::wstring& path,
                   const std::function<bool(const std::function<bool(std::string_view piece)>& write)>& produce) {
    unique_hfile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    return produce([&](std::string_view piece) {
        DWORD written = 0;
        return ::WriteFile(file.get(), piece.data(), static_cast<DWORD>(piece.size()), &written, nullptr) &&
               written == piece.size();
    });
}

void CreateDirectoryLevels(const std::wstring& directory) {
    // Skip the drive ("C:\") or the server part of a UNC path.
    size_t start = directory.rfind(L"\\\\", 0) == 0 ? directory.find(L'\\', directory.find(L'\\', 2) + 1) : 3;
    for (size_t at = directory.find_first_of(L"\\/", start); at != std::wstring::npos;
         at = directory.find_first_of(L"\\/", at + 1))
        ::CreateDirectoryW(directory.substr(0, at).c_str(), nullptr);
    ::CreateDirectoryW(directory.c_str(), nullptr);
}

void CreateParentDirectories(const std::wstring& file_path) {
    if (const std::wstring parent = ParentOf(file_path); !parent.empty()) CreateDirectoryLevels(parent);
}

std::optional<std::uint64_t> FreeBytesFor(const std::wstring& file_path) {
    // The folder itself: the root alone would miss a volume mounted on a folder.
    const std::wstring parent = ParentOf(file_path) + L"\\";
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(parent.c_str(), &available, nullptr, nullptr)) return std::nullopt;
    return available.QuadPart;
}

bool ForEachEntry(const std::wstring& directory, const std::function<void(const FolderEntry&)>& visit) {
    WIN32_FIND_DATAW found;
    unique_hfind search(::FindFirstFileW((directory + L"\\*").c_str(), &found));
    if (!search) return false;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        visit({name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
               (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
    } while (::FindNextFileW(search.get(), &found));
    return ::GetLastError() == ERROR_NO_MORE_FILES;
}

bool RemoveDirectoryTree(const std::wstring& directory) {
    // A link (junction or symbolic link) is removed itself; what it points
    // to is never touched.
    const DWORD attributes = ::GetFileAttributesW(directory.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return ::RemoveDirectoryW(directory.c_str()) != FALSE || Delete(directory);
    ForEachEntry(directory, [&](const FolderEntry& entry) {
        const std::wstring path = directory + L"\\" + entry.name;
        if (!entry.is_directory)
            Delete(path);
        else if (entry.is_link)
            ::RemoveDirectoryW(path.c_str()) || Delete(path);
        else
            RemoveDirectoryTree(path);
    });
    ::SetFileAttributesW(directory.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::RemoveDirectoryW(directory.c_str()) != FALSE;
}

bool DeleteWithRetries(const std::wstring& path) {
    return Retry([&] {
        if (!Exists(path)) return true;
        Delete(path);
        return !Exists(path);
    });
}

bool ReplaceWithRetries(const std::wstring& from, const std::wstring& to) {
    // A move that does not overwrite succeeds only where nothing stood.
    if (::MoveFileW(from.c_str(), to.c_str())) return true;
    if (!DeleteWithRetries(to)) return false;
    return Retry([&] {
        if (Exists(to)) return true;
        ::MoveFileW(from.c_str(), to.c_str());
        return Exists(to);
    });
}

}  // namespace nm::files
