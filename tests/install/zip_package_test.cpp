// Zip packages in process, with archives written here byte by byte, so that
// sizes and checksums can be exactly what a case needs. Archives made by
// another zip writer are extracted end to end in tests/e2e/test_zip.py.
#include "install/zip_package.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "base/file_ops.h"
#include "base/unique_handle.h"
#include "scratch_directory.h"

namespace nm {
namespace {

struct Entry {
    std::string name;
    std::string data;
    bool bad_checksum = false;
};

void Put16(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}
void Put32(std::string& out, unsigned long value) {
    Put16(out, value & 0xFFFF);
    Put16(out, (value >> 16) & 0xFFFF);
}

// A stored (uncompressed) zip archive; the DOS time is 2020-05-17 10:20:30.
std::string StoredArchive(const std::vector<Entry>& entries, const std::string& comment = "") {
    const unsigned dos_time = (10 << 11) | (20 << 5) | (30 / 2);
    const unsigned dos_date = ((2020 - 1980) << 9) | (5 << 5) | 17;
    std::string out, central;
    for (const Entry& e : entries) {
        unsigned long crc = crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size()));
        if (e.bad_checksum) crc ^= 0xA5A5A5A5UL;
        const unsigned long offset = out.size();
        Put32(out, 0x04034b50);
        Put16(out, 10);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, dos_time);
        Put16(out, dos_date);
        Put32(out, crc);
        Put32(out, e.data.size());
        Put32(out, e.data.size());
        Put16(out, e.name.size());
        Put16(out, 0);
        out += e.name;
        out += e.data;
        Put32(central, 0x02014b50);
        Put16(central, 20);
        Put16(central, 10);
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, dos_time);
        Put16(central, dos_date);
        Put32(central, crc);
        Put32(central, e.data.size());
        Put32(central, e.data.size());
        Put16(central, e.name.size());
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, 0);
        Put32(central, offset);
        central += e.name;
    }
    const unsigned long central_offset = out.size();
    out += central;
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, entries.size());
    Put16(out, entries.size());
    Put32(out, central.size());
    Put32(out, central_offset);
    Put16(out, comment.size());
    out += comment;
    return out;
}

class ZipPackage : public ::testing::Test {
protected:
    std::wstring Path(const std::wstring& name) const { return scratch_.File(name); }
    static void Write(const std::wstring& path, const std::string& bytes) { ASSERT_TRUE(WriteFileBytes(path, bytes)); }
    static std::string Read(const std::wstring& path) { return Exists(path) ? ReadFileBytes(path) : "<missing>"; }
    static bool Exists(const std::wstring& path) { return files::Exists(path); }

    ScratchDirectory scratch_{L"zip"};
};

TEST_F(ZipPackage, FirstEntryGoesToTheDestinationWithItsTime) {
    const std::wstring archive = Path(L"pack._.zip");
    Write(archive, StoredArchive({{"stored-name.txt", "first entry"}, {"other.txt", "second entry"}}));
    const std::wstring destination = Path(L"sub\\deeper\\app.txt");
    ASSERT_TRUE(ExtractArchive(archive, destination));
    EXPECT_EQ(Read(destination), "first entry");
    EXPECT_FALSE(Exists(Path(L"sub\\deeper\\other.txt")));
    EXPECT_FALSE(Exists(Path(L"sub\\deeper\\stored-name.txt")));

    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(::GetFileAttributesExW(destination.c_str(), GetFileExInfoStandard, &data));
    FILETIME local{};
    SYSTEMTIME time{};
    ::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    ::FileTimeToSystemTime(&local, &time);
    EXPECT_EQ(time.wYear, 2020);
    EXPECT_EQ(time.wMonth, 5);
    EXPECT_EQ(time.wDay, 17);
    EXPECT_EQ(time.wHour, 10);
    EXPECT_EQ(time.wMinute, 20);
    EXPECT_EQ(time.wSecond, 30);
    EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST_F(ZipPackage, ExtractEntryTakesAnyIndexAndRejectsOneBeyond) {
    const std::wstring archive = Path(L"two.zip");
    Write(archive, StoredArchive({{"a", "alpha"}, {"b", "beta"}}));
    void* zip = OpenZipArchive(archive);
    ASSERT_NE(zip, nullptr);
    const std::wstring destination = Path(L"b.out");
    EXPECT_EQ(ExtractEntry(zip, 1, destination), 0);
    EXPECT_EQ(Read(destination), "beta");
    const std::wstring beyond = Path(L"c.out");
    EXPECT_NE(ExtractEntry(zip, 2, beyond), 0);
    EXPECT_FALSE(Exists(beyond));
    CloseZipArchive(zip);
}

TEST_F(ZipPackage, BadChecksumFailsAndLeavesNothing) {
    const std::wstring archive = Path(L"crc.zip");
    Write(archive, StoredArchive({{"a", "some content", true}}));
    const std::wstring destination = Path(L"crc.out");
    EXPECT_FALSE(ExtractArchive(archive, destination));
    EXPECT_FALSE(Exists(destination));
}

TEST_F(ZipPackage, ArchiveOfExactly158BytesCountsAsEmpty) {
    // One empty entry with a 30-character name is 158 bytes; its checksum is
    // made wrong so that the zip layer reports a failure.
    const std::string name(30, 'n');
    const std::string bytes = StoredArchive({{name, "", true}});
    ASSERT_EQ(bytes.size(), 158u);
    const std::wstring archive = Path(L"empty158.zip");
    Write(archive, bytes);
    const std::wstring destination = Path(L"empty158.out");
    EXPECT_TRUE(ExtractArchive(archive, destination));

    // The same failure in an archive of any other size is one.
    const std::wstring longer = Path(L"empty159.zip");
    Write(longer, StoredArchive({{name, "", true}}, "x"));
    const std::wstring other = Path(L"empty159.out");
    EXPECT_FALSE(ExtractArchive(longer, other));
    EXPECT_FALSE(Exists(other));
}

TEST_F(ZipPackage, DamagedOrMissingArchiveLeavesNothing) {
    const std::wstring archive = Path(L"junk.zip");
    Write(archive, std::string(400, 'j'));
    const std::wstring destination = Path(L"junk.out");
    Write(destination, "earlier file");
    EXPECT_FALSE(ExtractArchive(archive, destination));
    EXPECT_FALSE(Exists(destination));
    EXPECT_FALSE(ExtractArchive(Path(L"absent.zip"), destination));
    EXPECT_FALSE(Exists(destination));
}

TEST_F(ZipPackage, DestinationInUseIsLeftAndIsNoSuccess) {
    const std::wstring archive = Path(L"pack.zip");
    Write(archive, StoredArchive({{"a", "new content"}}));
    const std::wstring destination = Path(L"in-use.dll");
    Write(destination, "old content");
    unique_hfile held(
        ::CreateFileW(destination.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    EXPECT_FALSE(ExtractArchive(archive, destination));
    held.reset();
    EXPECT_EQ(Read(destination), "old content");
}

TEST_F(ZipPackage, ReadOnlyDestinationIsReplaced) {
    const std::wstring archive = Path(L"pack.zip");
    Write(archive, StoredArchive({{"a", "new content"}}));
    const std::wstring destination = Path(L"readonly.dll");
    Write(destination, "old content");
    ::SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(ExtractArchive(archive, destination));
    EXPECT_EQ(Read(destination), "new content");
}

}  // namespace
}  // namespace nm
