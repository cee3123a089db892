// posix: the archives of the native vendor tool, over POSIX files: an
// archive's first entry extracted for the tool's checks (its bytes; the
// entry's time and attributes mean nothing to them), and the file of an
// archive it writes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/file_ops.h"
#include "base/posix_path.h"
#include "base/scope_guard.h"
#include "install/zip_package.h"
#include "install/zip_reader.h"

extern "C" {
#include "zip.h"
}

namespace nm {

namespace {
// An open descriptor, closed on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { Reset(); }
    int get() const { return fd_; }
    bool Reset(int fd = -1) {
        const bool closed = fd_ < 0 || ::close(fd_) == 0;
        fd_ = fd;
        return closed;
    }

private:
    int fd_;
};

class FileSource : public zip::Source {
public:
    explicit FileSource(const std::wstring& path) : file_(::open(PosixPath(path).c_str(), O_RDONLY | O_CLOEXEC)) {}
    bool ok() const { return file_.get() >= 0; }
    std::uint64_t Size() override {
        struct stat status;
        return ok() && ::fstat(file_.get(), &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
    }
    std::size_t ReadAt(std::uint64_t position, void* buffer, std::size_t size) override {
        for (;;) {
            const ssize_t read = ::pread(file_.get(), buffer, size, static_cast<off_t>(position));
            if (read < 0 && errno == EINTR) continue;
            return read < 0 ? 0 : static_cast<std::size_t>(read);
        }
    }

private:
    Descriptor file_;
};

class FileWriter : public zip::EntrySink {
public:
    FileWriter(const std::wstring& destination, std::int64_t limit) : destination_(destination), limit_(limit) {}
    int Begin(const zip::EntryInfo&) override {
        files::CreateParentDirectories(destination_);
        out_.Reset(::open(PosixPath(destination_).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        return out_.get() >= 0 ? 0 : zip::kCreateError;
    }
    int Take(std::string_view block) override {
        written_ += static_cast<std::int64_t>(block.size());
        if (limit_ >= 0 && written_ > limit_) return zip::kTooLarge;
        while (!block.empty()) {
            const ssize_t written = ::write(out_.get(), block.data(), block.size());
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) return zip::kWriteError;
            block.remove_prefix(static_cast<size_t>(written));
        }
        return 0;
    }
    int End(const zip::EntryInfo&) override { return out_.Reset() ? 0 : zip::kWriteError; }

private:
    std::wstring destination_;
    std::int64_t limit_;
    std::int64_t written_ = 0;
    Descriptor out_{-1};
};
}  // namespace

ZipWriter::ZipWriter(const std::wstring& path) { zip_ = zipOpen64(PosixPath(path).c_str(), APPEND_STATUS_CREATE); }

bool ExtractArchive(const std::wstring& archive_path, const std::wstring& destination, std::int64_t max_bytes) {
    // An existing destination that cannot be cleared stays as it is, and
    // nothing was extracted: that is no success.
    if (files::Exists(destination) && !files::Delete(destination)) return false;
    remove_unless_kept extracted(destination);
    FileSource source(archive_path);
    if (!source.ok()) return false;
    zip::Reader reader(source);
    if (!reader.ok()) return false;
    FileWriter writer(destination, max_bytes);
    const int result = reader.ReadEntry(0, writer);
    if (result != 0 && source.Size() != zip::kEmptyArchiveSize) return false;
    extracted.keep();
    return true;
}

}  // namespace nm
