// portable: builds without Win32
#include "list/staged_path.h"

#include <gtest/gtest.h>

namespace nm {
namespace {

TEST(StagedPath, EveryPathStaysInsideTheWorkDirectory) {
    EXPECT_EQ(StagedRelativePath(L"bin/a.dll"), L"bin\\a.dll");
    EXPECT_EQ(StagedRelativePath(L"{app}\\bin\\a.dll"), L"{app}\\bin\\a.dll");
    EXPECT_EQ(StagedRelativePath(L"{sys}\\x.dll"), L"{sys}\\x.dll");
    EXPECT_EQ(StagedRelativePath(L"C:\\Windows\\x.dll"), L"{C}\\Windows\\x.dll");
    EXPECT_EQ(StagedRelativePath(L"\\\\server\\share\\x.dll"), L"{unc}\\server\\share\\x.dll");
    EXPECT_EQ(StagedRelativePath(L"\\rooted\\.\\x.txt"), L"rooted\\x.txt");
    EXPECT_EQ(StagedRelativePath(L"a\\..\\b\\x.txt"), L"b\\x.txt");
    // Climbing out, or naming no file at all, is refused.
    for (const wchar_t* path :
         {L"..\\x.txt", L"a\\..\\..\\x.txt", L"{app}\\..\\x.txt", L"C:\\..\\x", L"", L"C:\\", L"a\\.."})
        EXPECT_FALSE(StagedRelativePath(path)) << path;
}

TEST(StagedPath, EntriesClimbingOutByPathOrDestinationAreRefused) {
    updatefileinfo entry;
    entry.path = L"bin\\a.dll";
    entry.dstname = L"b.dll;{sys}\\c.dll";
    EXPECT_FALSE(EntryClimbsOut(entry));
    entry.dstname = L"b.dll|..\\..\\evil.dll";
    EXPECT_TRUE(EntryClimbsOut(entry));
    entry.dstname.clear();
    entry.path = L"..\\a.dll";
    EXPECT_TRUE(EntryClimbsOut(entry));
    entry.flags = kRunEntryMarker;  // a run entry's path is a program, not a destination
    EXPECT_FALSE(EntryClimbsOut(entry));
}

}  // namespace
}  // namespace nm
