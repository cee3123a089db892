// Putting files in place, the old-files list and the write probe, on real
// files of the prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/file_ops.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "child_process.h"
#include "install/interrupted_update.h"
#include "install/journaled_update.h"
#include "install/old_files.h"
#include "install/write_probe.h"
#include "scratch_directory.h"
#include "test_files.h"

namespace nm {
namespace {

unique_hfile HoldWithoutSharing(const std::wstring& path) {
    return unique_hfile(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
}

// What an update leaves beside the application's files while it runs.
bool AnyBookkeepingLeft(const ScratchDirectory& app) {
    bool left = false;
    files::ForEachEntry(app.path(), [&](const files::FolderEntry& entry) {
        left = left || text::Contains(entry.name, L".__new") || text::Contains(entry.name, L".__old") ||
               text::StartsWith(entry.name, L"__install");
    });
    return left;
}

FileChange Place(const std::wstring& target, const std::wstring& staged, bool may_move = true) {
    return {FileChange::Kind::Place, target, staged, may_move};
}

TEST(JournaledUpdate, PlacesEveryTargetFromEitherVolumeAndRemovesWhatTheListDeletes) {
    ScratchDirectory app(L"install app");
    // Under Wine, Z:\dev\shm is another file system than the prefix's C:.
    const std::wstring other_volume = L"Z:\\dev\\shm\\novamend-staged-" + std::to_wstring(::GetCurrentProcessId());
    for (const std::wstring& staging : {app.path(), other_volume}) {
        ::CreateDirectoryW(staging.c_str(), nullptr);
        const std::wstring staged = staging + L"\\new.txt_";
        ASSERT_TRUE(WriteFileBytes(staged, "new"));
        ASSERT_TRUE(WriteFileBytes(app.File(L"b.txt"), "old b"));
        ASSERT_TRUE(WriteFileBytes(app.File(L"gone.txt"), "old"));
        JournaledUpdate update(app.path(), app.File(L"__oldfiles.lst"));
        ASSERT_TRUE(update.Prepare({Place(app.File(L"a.txt"), staged, false),
                                    Place(app.File(L"b.txt"), staged),
                                    {FileChange::Kind::Remove, app.File(L"gone.txt"), L"", false}},
                                   {}, {}));
        ASSERT_TRUE(update.Commit());
        update.Finish();
        EXPECT_EQ(ReadFileBytes(app.File(L"a.txt")), "new");
        EXPECT_EQ(ReadFileBytes(app.File(L"b.txt")), "new");
        EXPECT_FALSE(files::Exists(app.File(L"gone.txt")));
        EXPECT_FALSE(files::Exists(staged));  // the last target took it
        EXPECT_FALSE(AnyBookkeepingLeft(app));
        files::RemoveDirectoryTree(other_volume);
    }
}

TEST(JournaledUpdate, AFileThatCannotBeReplacedLeavesEveryFileAsItWasAndTheStagedFilesStaged) {
    ScratchDirectory app(L"install held");
    files::CreateDirectoryLevels(app.File(L"staged"));
    const std::wstring first = app.Write(L"staged\\first.txt_", "new first");
    const std::wstring second = app.Write(L"staged\\held.txt_", "new held");
    ASSERT_TRUE(WriteFileBytes(app.File(L"first.txt"), "old first"));
    ASSERT_TRUE(WriteFileBytes(app.File(L"held.txt"), "old held"));
    // Held without sharing: it can be neither replaced nor moved aside.
    unique_hfile held = HoldWithoutSharing(app.File(L"held.txt"));
    ASSERT_TRUE(held);
    JournaledUpdate update(app.path(), app.File(L"__oldfiles.lst"));
    ASSERT_TRUE(
        update.Prepare({Place(app.File(L"first.txt"), first), Place(app.File(L"new\\deeper\\later.txt"), second, false),
                        Place(app.File(L"held.txt"), second)},
                       {}, {}));
    EXPECT_FALSE(update.Commit());
    held.reset();
    EXPECT_EQ(ReadFileBytes(app.File(L"first.txt")), "old first");
    EXPECT_EQ(ReadFileBytes(app.File(L"held.txt")), "old held");
    EXPECT_FALSE(files::Exists(app.File(L"new")));  // the folders it made went with it
    EXPECT_EQ(ReadFileBytes(first), "new first");
    EXPECT_EQ(ReadFileBytes(second), "new held");
    EXPECT_FALSE(AnyBookkeepingLeft(app));
}

TEST(JournaledUpdate, AJournalLeftInTheMiddleIsSettledForwardWhenPreparedAndBackOtherwise) {
    for (const bool prepared : {true, false}) {
        ScratchDirectory app(L"install settle");
        files::CreateDirectoryLevels(app.File(L"staged"));
        std::vector<FileChange> changes;
        for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt"}) {
            ASSERT_TRUE(WriteFileBytes(app.File(name), "old"));
            changes.push_back(Place(app.File(name), app.Write(std::wstring(L"staged\\") + name + L"_", "new")));
        }
        {
            JournaledUpdate update(app.path(), app.File(L"__oldfiles.lst"));
            ASSERT_TRUE(update.Prepare(changes, {}, {}));
            // Ended in the middle: a.txt swapped, b.txt moved aside, c.txt untouched.
            const auto& steps = update.Journal().steps;
            ASSERT_TRUE(files::Move(steps[0].target, steps[0].backup) && files::Move(steps[0].ready, steps[0].target));
            ASSERT_TRUE(files::Move(steps[1].target, steps[1].backup));
        }
        if (!prepared) {
            // Cut off before its "prepared" record.
            std::string journal = ReadFileBytes(app.File(L"__install.journal"));
            journal.resize(journal.find("prepared\n"));
            ASSERT_TRUE(WriteFileBytes(app.File(L"__install.journal"), journal));
            // Nothing is swapped before the preparation is complete.
            ASSERT_TRUE(files::Move(app.File(L"a.txt"), app.File(L"a.txt.__new")) &&
                        files::Move(app.File(L"a.txt.__old"), app.File(L"a.txt")) &&
                        files::Move(app.File(L"b.txt.__old"), app.File(L"b.txt")));
        }
        EXPECT_TRUE(UpdateJournalOpen(app.path()));
        EXPECT_TRUE(SettleInterruptedUpdate(app.path(), nullptr));
        for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt"}) {
            EXPECT_EQ(ReadFileBytes(app.File(name)), prepared ? "new" : "old") << prepared;
            // Going back, every staged file is where the download left it.
            EXPECT_EQ(files::Exists(app.File(std::wstring(L"staged\\") + name + L"_")), !prepared);
        }
        EXPECT_FALSE(AnyBookkeepingLeft(app));
        EXPECT_FALSE(UpdateJournalOpen(app.path()));
    }
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
