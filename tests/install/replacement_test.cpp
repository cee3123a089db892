// Putting files in place, the old-files list and the write probe, on real
// files of the prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/file_ops.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "child_process.h"
#include "install/install_file.h"
#include "install/old_files.h"
#include "install/write_probe.h"
#include "scratch_directory.h"
#include "test_files.h"

namespace nm {
namespace {

unique_hfile HoldWithoutSharing(const std::wstring& path) {
    return unique_hfile(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
}

TEST(InstallFile, CopiesToEveryTargetMovesToTheLastAndFromAnotherVolume) {
    ScratchDirectory app(L"install app");
    // Under Wine, Z:\dev\shm is another file system than the prefix's C:.
    const std::wstring other_volume = L"Z:\\dev\\shm\\novamend-staged-" + std::to_wstring(::GetCurrentProcessId());
    for (const std::wstring& staging : {app.path(), other_volume}) {
        ::CreateDirectoryW(staging.c_str(), nullptr);
        const std::wstring source = staging + L"\\new.txt";
        ASSERT_TRUE(WriteFileBytes(source + L"_", "new"));
        WriteFileBytes(app.File(L"b.txt"), "old b");
        const std::wstring list = app.File(L"__oldfiles.lst");
        ASSERT_TRUE(InstallFile(source, {app.File(L"a.txt"), app.File(L"sub\\b.txt")}, list));
        EXPECT_EQ(ReadFileBytes(app.File(L"a.txt")), "new");
        EXPECT_EQ(ReadFileBytes(app.File(L"sub\\b.txt")), "new");
        EXPECT_FALSE(files::Exists(source + L"_"));  // the last target took it
        EXPECT_FALSE(files::Exists(app.File(L"a.txt.__new")));
        files::RemoveDirectoryTree(other_volume);
    }
}

TEST(InstallFile, AFileThatCannotBeReplacedStaysAsItWas) {
    ScratchDirectory app(L"install held");
    const std::wstring source = app.File(L"staged\\f.txt");
    files::CreateParentDirectories(source);
    ASSERT_TRUE(WriteFileBytes(source + L"_", "new"));
    ASSERT_TRUE(WriteFileBytes(app.File(L"first.txt"), "old first"));
    ASSERT_TRUE(WriteFileBytes(app.File(L"held.txt"), "old held"));
    // Held without sharing: it can be neither replaced nor moved aside.
    unique_hfile held = HoldWithoutSharing(app.File(L"held.txt"));
    ASSERT_TRUE(held);
    EXPECT_FALSE(InstallFile(source, {app.File(L"held.txt"), app.File(L"later.txt")}, app.File(L"__oldfiles.lst")));
    held.reset();
    EXPECT_EQ(ReadFileBytes(app.File(L"held.txt")), "old held");
    EXPECT_FALSE(files::Exists(app.File(L"later.txt")));  // the targets after it are left alone
    EXPECT_EQ(ReadFileBytes(source + L"_"), "new");
    for (const wchar_t* leftover : {L"held.txt.__new", L"held.txt.__old", L"held.txt.__old0"})
        EXPECT_FALSE(files::Exists(app.File(leftover))) << leftover;
}

TEST(OldFiles, EveryRecordedFileGoesAtTheNextStartWhateverItsName) {
    ScratchDirectory app(L"old files");
    const std::wstring list = app.File(L"__oldfiles.lst");
    // A name the ANSI code page cannot hold, beside a plain one.
    const std::wstring unusual = app.File(L"\u03A9\u4E2D.dll.__old");
    const std::wstring plain = app.File(L"plain.exe.__old");
    for (const std::wstring& path : {unusual, plain}) {
        ASSERT_TRUE(WriteFileBytes(path, "old"));
        RecordOldFile(list, path);
    }
    RecordOldFile(list, app.File(L"gone.dll.__old"));  // already gone counts as removed
    const std::string records = ReadFileBytes(list);
    EXPECT_EQ(records.substr(0, 2), "\r\n");
    EXPECT_NE(records.find(nm::text::ToUtf8(L"\u03A9")), std::string::npos);
    {
        unique_hfile busy = HoldWithoutSharing(plain);
        CleanOldFiles(list);
        EXPECT_FALSE(files::Exists(unusual));
        EXPECT_TRUE(files::Exists(list));  // one file could not go yet
    }
    CleanOldFiles(list);
    EXPECT_FALSE(files::Exists(plain));
    EXPECT_FALSE(files::Exists(list));
}

TEST(WriteProbe, ProbesLeaveNothingBehindAndPutBackAProgramLeftUnderItsProbeName) {
    ScratchDirectory app(L"probe");
    ElevationList rights;
    const std::wstring program = app.File(L"tool.exe");
    // An earlier probe was interrupted after moving the program away.
    ASSERT_TRUE(WriteFileBytes(program + L".__test", "program"));
    EXPECT_TRUE(ProbeFile(program, rights));
    EXPECT_EQ(ReadFileBytes(program), "program");
    EXPECT_FALSE(files::Exists(program + L".__test"));

    // A read-only file nobody holds is writable once its attributes are cleared.
    ASSERT_TRUE(WriteFileBytes(app.File(L"data.txt"), "data"));
    ::SetFileAttributesW(app.File(L"data.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(ProbeFile(app.File(L"data.txt"), rights));
    {
        unique_hfile held = HoldWithoutSharing(app.File(L"data.txt"));
        EXPECT_FALSE(ProbeFile(app.File(L"data.txt"), rights));
    }
    // A running program can be moved aside: it passes, and no probe name stays.
    const std::wstring running = TestProgramPath(L"install_tests.exe");
    EXPECT_TRUE(ProbeFile(running, rights));
    EXPECT_FALSE(files::Exists(running + L".__test"));
    // A new file in a folder that does not exist yet.
    EXPECT_TRUE(ProbeFile(app.File(L"new\\deeper\\f.txt"), rights));
    EXPECT_FALSE(files::Exists(app.File(L"new")));
    EXPECT_EQ(ReadFileBytes(program), "program");
    EXPECT_FALSE(files::Exists(program + L".__test"));
}

TEST(FileOps, DeletesReadOnlyFilesAndReplacesWhetherOrNotTheTargetStands) {
    ScratchDirectory app(L"ops");
    ASSERT_TRUE(WriteFileBytes(app.File(L"ro.txt"), "x"));
    ::SetFileAttributesW(app.File(L"ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(files::Delete(app.File(L"ro.txt")));
    EXPECT_FALSE(files::Delete(app.File(L"ro.txt")));

    ASSERT_TRUE(WriteFileBytes(app.File(L"a"), "first"));
    EXPECT_TRUE(files::ReplaceWithRetries(app.File(L"a"), app.File(L"b")));
    ASSERT_TRUE(WriteFileBytes(app.File(L"a"), "second"));
    EXPECT_TRUE(files::ReplaceWithRetries(app.File(L"a"), app.File(L"b")));
    EXPECT_EQ(ReadFileBytes(app.File(L"b")), "second");
    EXPECT_FALSE(files::Exists(app.File(L"a")));
}

}  // namespace
}  // namespace nm
