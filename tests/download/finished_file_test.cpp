#include "download/finished_file.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "base/file_ops.h"
#include "download/version_journal.h"
#include "scratch_directory.h"

namespace nm {
namespace {

TEST(FinishedFiles, NotesLieApartAndTheStepsListingFindsWhatALookWould) {
    ScratchDirectory work(L"finished");
    files::CreateDirectoryLevels(work.File(L"Sub"));
    const std::wstring local = work.Write(L"Sub\\Tool.dll", "bytes");
    ASSERT_TRUE(MarkFinished(local, L"2"));
    EXPECT_TRUE(IsFinishedFor(local, L"2"));
    EXPECT_FALSE(IsFinishedFor(local, L"3"));
    ASSERT_TRUE(NoteFinishedVersion(work.File(L"Sub\\Other.dll"), L"5"));
    EXPECT_EQ(work.Read(L"Sub\\__versions4novamend\\journal"), "\nTool.dll\t%\t\nTool.dll\t2\t\nOther.dll\t5\t");
    // Only the finished file lies beside the others.
    std::vector<std::wstring> beside;
    files::ForEachEntry(work.File(L"Sub"), [&](const files::FolderEntry& e) { beside.push_back(e.name); });
    EXPECT_EQ(beside.size(), 2u);

    const FinishedFileIndex index(work.path());
    EXPECT_TRUE(index.MayHold(work.File(L"sub\\TOOL.dll")));  // any case, as Windows finds it
    EXPECT_FALSE(index.MayHold(work.File(L"Sub\\Other.dll")));
    EXPECT_FALSE(index.MayHold(work.File(L"Sub\\__versions4novamend\\Tool.dll")));
    EXPECT_TRUE(index.MayHold(L"C:\\elsewhere\\Other.dll"));  // not listed: looked for
    EXPECT_FALSE(FinishedFileIndex(work.File(L"not made yet")).MayHold(work.File(L"not made yet\\a.dll")));

    // Notes of earlier builds count where the journal names nothing, and go
    // with the file.
    work.Write(L"Sub\\Third.dll_", "old");
    work.Write(L"Sub\\__versions4novamend\\Third.dll_.__ver", "4");
    EXPECT_TRUE(IsFinishedFor(work.File(L"Sub\\Third.dll"), L"4"));
    work.Write(L"Sub\\Tool.dll_.__ver", "1");
    DiscardFinished(local);
    EXPECT_FALSE(files::Exists(FinishedPath(local)));
    EXPECT_FALSE(files::Exists(FinishedVersionNote(local)));
    EXPECT_FALSE(files::Exists(local + L"_.__ver"));
    work.Write(L"Sub\\Tool.dll_", "bytes");  // its version was forgotten with it
    EXPECT_FALSE(IsFinishedFor(local, L"2"));
}

TEST(FinishedFiles, NoVersionIsLostWhenEightThreadsNoteAtOnce) {
    ScratchDirectory work(L"journal");
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i)
                NoteFinishedVersion(work.File(L"f" + std::to_wstring(t * 1000 + i)), std::to_wstring(i));
        });
    for (std::thread& thread : threads) thread.join();
    std::string journal;
    ASSERT_TRUE(files::ReadAll(VersionJournal(work.File(L"f0")), journal, 1 << 20));
    for (int t = 0; t < 8; ++t)
        for (int i = 0; i < 200; ++i)
            EXPECT_EQ(version_journal::Find(journal, L"f" + std::to_wstring(t * 1000 + i)).encoded_version,
                      std::to_string(i));
}

}  // namespace
}  // namespace nm
