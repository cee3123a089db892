// portable: builds without Win32
#pragma once
// Reading zip archives entry by entry from any source of bytes. Kept free of
// Win32 so that what reads an archive from outside (a downloaded file, an
// offline package from anywhere) can be tried under the sanitizers; files on
// disk are in zip_package.h.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace nm::zip {

// Inflated data arrive in blocks of this size.
constexpr int kBlockSize = 16384;
// The read of the archive's directory failed, or a sink refused a block.
constexpr int kNotAnArchive = -103;  // as the zip layer's "bad zip file"
constexpr int kSinkRefused = -1002;
// What writing an entry out to a file fails with.
constexpr int kCreateError = -1001;
constexpr int kWriteError = -1002;
constexpr int kTooLarge = -1003;
// An archive of exactly this size holds one empty file; the zip layer may
// report a failure for it that is not one.
constexpr std::uint64_t kEmptyArchiveSize = 158;

// Where an archive's bytes come from.
class Source {
public:
    virtual ~Source() = default;
    virtual std::uint64_t Size() = 0;
    // Up to size bytes from position into buffer: how many were read, 0 past
    // the end or on failure.
    virtual std::size_t ReadAt(std::uint64_t position, void* buffer, std::size_t size) = 0;
};

// The archive in memory.
class MemorySource : public Source {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    std::uint64_t Size() override { return bytes_.size(); }
    std::size_t ReadAt(std::uint64_t position, void* buffer, std::size_t size) override;

private:
    std::string_view bytes_;
};

struct EntryInfo {
    std::string name;            // as stored
    bool utf8_name = false;      // else in the DOS code page of the first zip tools (437)
    std::uint32_t dos_time = 0;  // local time, the date in the high word
    std::uint32_t external_attributes = 0;
};

// What an entry's data go to. Each step returns 0 to go on, or a non-zero
// code that ends the read with it.
class EntrySink {
public:
    virtual ~EntrySink() = default;
    virtual int Begin(const EntryInfo&) { return 0; }
    virtual int Take(std::string_view block) = 0;
    // Called once the whole entry arrived and its checksum held.
    virtual int End(const EntryInfo&) { return 0; }
};

// An archive opened for reading; the source must outlive it.
class Reader {
public:
    explicit Reader(Source& source);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // False when the source holds no readable archive directory.
    bool ok() const { return archive_ != nullptr; }
    // The entry with the given index into the sink: 0 on success; an index
    // beyond the last entry is an error.
    int ReadEntry(int index, EntrySink& sink);
    // Every entry in order: choose gives the sink for it, or nullptr to pass
    // it by. 0 when the whole directory was read and every chosen entry
    // arrived whole; otherwise the first failure's code, and the walk stops.
    int ForEach(const std::function<EntrySink*(const EntryInfo&)>& choose);

private:
    int CurrentInfo(EntryInfo& info);
    int ReadCurrent(const EntryInfo& info, EntrySink& sink);

    void* archive_ = nullptr;
};

}  // namespace nm::zip
