// posix: the file operations the native vendor tool uses, over POSIX calls.
// Paths arrive as the Windows code writes them: "\" separates folders here
// too, since a release's paths never hold one as a character.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <vector>

#include "base/file_ops.h"
#include "base/posix_path.h"
#include "base/text.h"

namespace nm {

std::string PosixPath(const std::wstring& path) {
    std::string native = text::ToUtf8(path);
    for (char& c : native)
        if (c == '\\') c = '/';
    return native;
}

}  // namespace nm

namespace nm::files {

namespace {
std::string Native(const std::wstring& path) { return PosixPath(path); }

// Closes the descriptor on every way out, keeping the errno of the failure.
struct Descriptor {
    int fd;
    explicit Descriptor(int opened) : fd(opened) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd < 0) return;
        const int saved = errno;
        ::close(fd);
        errno = saved;
    }
};

struct DirectoryCloser {
    void operator()(DIR* directory) const { ::closedir(directory); }
};
}  // namespace

bool Exists(const std::wstring& path) {
    struct stat status;
    return ::stat(Native(path).c_str(), &status) == 0;
}

bool Delete(const std::wstring& path) { return ::unlink(Native(path).c_str()) == 0; }

bool IsDirectory(const std::wstring& path) {
    struct stat status;
    return ::stat(Native(path).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::wstring FullPath(const std::wstring& path) {
    std::string native = Native(path);
    if (native.empty() || native[0] != '/') {
        char current[PATH_MAX];
        if (!::getcwd(current, sizeof current)) return path;
        native = std::string(current) + "/" + native;
    }
    // "." and ".." resolved by name, as GetFullPathNameW does, and no link followed.
    std::vector<std::string> parts;
    for (size_t start = 0; start <= native.size();) {
        const size_t end = std::min(native.find('/', start), native.size());
        const std::string part = native.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string full;
    for (const std::string& part : parts) full += "/" + part;
    return text::FromUtf8(full.empty() ? "/" : full);
}

std::optional<std::int64_t> Size(const std::wstring& path) {
    struct stat status;
    if (::stat(Native(path).c_str(), &status) != 0) return std::nullopt;
    return static_cast<std::int64_t>(status.st_size);
}

bool ReadAll(const std::wstring& path, std::string& bytes, std::int64_t max_bytes) {
    std::string read;
    const bool complete = ReadInBlocks(path, [&](std::string_view block) {
        if (static_cast<std::int64_t>(read.size() + block.size()) > max_bytes) {
            errno = EFBIG;
            return false;
        }
        read.append(block);
        return true;
    });
    if (complete) bytes = std::move(read);
    return complete;
}

namespace {
bool WriteEvery(int fd, std::string_view bytes, bool sync = true) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return !sync || ::fsync(fd) == 0 || errno == EINVAL;
}
}  // namespace

bool WriteAll(const std::wstring& path, std::string_view bytes) {
    Descriptor file(::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    return file.fd >= 0 && WriteEvery(file.fd, bytes);
}

bool WriteInPieces(const std::wstring& path,
                   const std::function<bool(const std::function<bool(std::string_view piece)>& write)>& produce) {
    Descriptor file(::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    return file.fd >= 0 && produce([&](std::string_view piece) { return WriteEvery(file.fd, piece, false); });
}

NewFile WriteNew(const std::wstring& path, std::string_view bytes) {
    bool written = false;
    {
        Descriptor file(::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
        if (file.fd < 0) return errno == EEXIST ? NewFile::kExists : NewFile::kFailed;
        written = WriteEvery(file.fd, bytes);
    }  // closed (keeping errno) before a part written is removed
    if (written) return NewFile::kWritten;
    const int error = errno;
    Delete(path);
    errno = error;
    return NewFile::kFailed;
}

bool ReadInBlocks(const std::wstring& path, const std::function<bool(std::string_view block)>& sink) {
    Descriptor file(::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (file.fd < 0) return false;
    struct stat status;
    if (::fstat(file.fd, &status) != 0) return false;
    if (S_ISDIR(status.st_mode)) {
        errno = EISDIR;
        return false;
    }
    std::vector<char> block(64 * 1024);
    for (;;) {
        const ssize_t read = ::read(file.fd, block.data(), block.size());
        if (read < 0 && errno == EINTR) continue;
        if (read < 0) return false;
        if (read == 0) return true;
        if (!sink(std::string_view(block.data(), static_cast<size_t>(read)))) return false;
    }
}

bool CopyReplacing(const std::wstring& from, const std::wstring& to) {
    Descriptor out(::open(Native(to).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (out.fd < 0) return false;
    return ReadInBlocks(from, [&](std::string_view block) { return WriteEvery(out.fd, block, false); });
}

bool RemoveEmptyDirectory(const std::wstring& directory) { return ::rmdir(Native(directory).c_str()) == 0; }

void CreateDirectoryLevels(const std::wstring& directory) {
    const std::string native = Native(directory);
    for (size_t at = native.find('/', 1); at != std::string::npos; at = native.find('/', at + 1))
        ::mkdir(native.substr(0, at).c_str(), 0755);
    ::mkdir(native.c_str(), 0755);
}

void CreateParentDirectories(const std::wstring& file_path) {
    const size_t separator = file_path.find_last_of(L"\\/");
    if (separator != std::wstring::npos && separator > 0) CreateDirectoryLevels(file_path.substr(0, separator));
}

bool RemoveDirectoryTree(const std::wstring& directory) {
    // A link is removed itself; what it points to is never touched.
    struct stat own;
    if (::lstat(Native(directory).c_str(), &own) == 0 && S_ISLNK(own.st_mode)) return Delete(directory);
    ForEachEntry(directory, [&](const FolderEntry& entry) {
        const std::wstring path = directory + L"\\" + entry.name;
        if (!entry.is_directory || entry.is_link)
            Delete(path);
        else
            RemoveDirectoryTree(path);
    });
    return RemoveEmptyDirectory(directory);
}

bool ForEachEntry(const std::wstring& directory, const std::function<void(const FolderEntry&)>& visit) {
    const std::string native = Native(directory);
    std::unique_ptr<DIR, DirectoryCloser> listing(::opendir(native.c_str()));
    if (!listing) return false;
    for (errno = 0; const dirent* entry = ::readdir(listing.get()); errno = 0) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        // As a Windows listing tells it: a link is marked, and is a folder
        // when what it points to is one.
        struct stat own, target;
        const std::string path = native + "/" + name;
        if (::lstat(path.c_str(), &own) != 0) return false;
        const bool is_link = S_ISLNK(own.st_mode);
        const bool is_directory =
            is_link ? ::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode) : S_ISDIR(own.st_mode);
        visit({text::FromUtf8(name), is_directory, is_link});
    }
    return errno == 0;
}

}  // namespace nm::files
