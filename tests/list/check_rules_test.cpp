// portable: builds without Win32
#include <gtest/gtest.h>

#include "list/list_compare.h"
#include "list/release_control.h"
#include "list/version_page.h"

namespace nm {
namespace {

updatefileinfo File(std::wstring path, std::wstring ver, unsigned long flags = 0) {
    updatefileinfo e;
    e.path = std::move(path);
    e.ver = std::move(ver);
    e.flags = flags;
    return e;
}

std::vector<std::wstring> Paths(const std::vector<updatefileinfo>& entries) {
    std::vector<std::wstring> paths;
    for (const auto& e : entries) paths.push_back(e.path);
    return paths;
}

auto NothingMissing = [](const updatefileinfo&) { return false; };

TEST(MarkChangedEntries, NewChangedAndUnchangedPaths) {
    const std::vector<updatefileinfo> installed = {File(L"a.dll", L"1"), File(L"b.dll", L"1"), File(L"B.exe", L"1"),
                                                   File(L"a.dll", L"2")};
    const std::vector<updatefileinfo> fetched = {File(L"a.dll", L"1"), File(L"b.dll", L"2"), File(L"b.exe", L"1"),
                                                 File(L"new.txt", L"1"), File(L"nover.txt", L"")};
    // a.dll: the first installed entry with the path decides; b.exe differs in case only: new.
    EXPECT_EQ(Paths(MarkChangedEntries(fetched, VersionsByPath(installed), false, NothingMissing)),
              (std::vector<std::wstring>{L"b.dll", L"b.exe", L"new.txt"}));
    // No comparison copy: every entry with a version.
    EXPECT_EQ(MarkChangedEntries(fetched, ListVersions(), false, NothingMissing).size(), 4u);
}

TEST(MarkChangedEntries, LostFilesComeBackButNeverDeletions) {
    const std::vector<updatefileinfo> same = {File(L"gone.dll", L"1"), File(L"old.dll", L"1", kEntryDelete),
                                              File(L"here.dll", L"1")};
    auto missing = [](const updatefileinfo& e) { return e.path != L"here.dll"; };
    EXPECT_EQ(Paths(MarkChangedEntries(same, VersionsByPath(same), true, missing)),
              (std::vector<std::wstring>{L"gone.dll"}));
    EXPECT_TRUE(MarkChangedEntries(same, VersionsByPath(same), false, missing).empty());
}

TEST(SplitOffDescriptionAndRuns, ParagraphsInOrderRunsReversed) {
    updatefileinfo d1 = File(L"First\\nline", L"999", kDescriptionEntryMarker);
    updatefileinfo d2 = File(L"Second\\r\\nline", L"999", kDescriptionEntryMarker);
    updatefileinfo r1 = File(L"setup.exe", L"999", kRunEntryMarker);
    updatefileinfo r2 = File(L"after.exe", L"999", kRunEntryMarker);
    std::vector<updatefileinfo> entries = {d1, File(L"a", L"1"), r1, d2, File(L"b", L"1"), r2};
    std::wstring description;
    std::vector<std::wstring> runs;
    SplitOffDescriptionAndRuns(entries, description, runs);
    EXPECT_EQ(Paths(entries), (std::vector<std::wstring>{L"a", L"b"}));
    EXPECT_EQ(description, L"First\r\nline\r\nSecond\r\nline\r\n");
    EXPECT_EQ(runs, (std::vector<std::wstring>{L"after.exe", L"setup.exe"}));
}

TEST(VersionPage, VersionAndMirrors) {
    auto page = ParseVersionPage(L"<page><Ver>2.1.0</Ver><URL>http://m1/l.xml</URL><url>http://m2/l.xml</url></page>");
    EXPECT_EQ(page.version, L"2.1.0");
    EXPECT_EQ(page.mirrors, (std::vector<std::wstring>{L"http://m1/l.xml", L"http://m2/l.xml"}));
    // Names are lower-cased everywhere, values included.
    EXPECT_EQ(ParseVersionPage(L"<ver>VERSION 2</ver>").version, L"verSION 2");
}

TEST(VersionPage, GarbageAndMissingItems) {
    EXPECT_EQ(ParseVersionPage(L"<html>nothing here</html>").version, L"");
    EXPECT_EQ(ParseVersionPage(L"<ver></ver>").version, L"");
    EXPECT_EQ(ParseVersionPage(L"<ver>1.0").version, L"");
    EXPECT_TRUE(ParseVersionPage(L"\x05\x06<<<<").mirrors.size() <= 1);
    EXPECT_EQ(ParseVersionPage(L"").mirrors.size(), 0u);
    EXPECT_EQ(ParseVersionPage(L"<url><x>").mirrors, (std::vector<std::wstring>{L""}));
}

TEST(VersionPage, LinesAreCutAt1023BytesAndLineEndsDropped) {
    const auto lines = VersionPageLines(std::string(2000, 'a') + "\r\nb\n\nc");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].size(), 1023u);
    EXPECT_EQ(lines[1].size(), 977u);
    EXPECT_EQ(lines[2], "b");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "c");
}

}  // namespace
TEST(ReleaseControl, BucketsSpreadOverAHundredMachinesStayPutAndChangeWithTheRelease) {
    using namespace release_control;
    // The documented rule, as any sha256 gives it (the publishing guide's example).
    EXPECT_EQ(RolloutBucket(L"0123456789abcdef0123456789abcdef", L"{6F9619FF-8B86-D011-B42D-00C04FC964FF}"), 86);
    EXPECT_EQ(RolloutBucket(L"0123456789abcdef0123456789abcdef", L"17"), 93);
    int in_ten = 0, in_half = 0, moved = 0;
    for (int i = 0; i < 100; ++i) {
        const std::wstring id = L"machine-" + std::to_wstring(i);
        const int bucket = RolloutBucket(id, L"17");
        ASSERT_TRUE(bucket >= 0 && bucket < 100);
        EXPECT_EQ(bucket, RolloutBucket(id, L"17"));
        in_ten += InRollout(bucket, 10);
        in_half += InRollout(bucket, 50);
        // A raised share keeps every machine it had.
        if (InRollout(bucket, 10)) {
            EXPECT_TRUE(InRollout(bucket, 50));
        }
        moved += bucket != RolloutBucket(id, L"18");
    }
    EXPECT_TRUE(in_ten >= 4 && in_ten <= 18) << in_ten;
    EXPECT_TRUE(in_half >= 38 && in_half <= 62) << in_half;
    EXPECT_GT(moved, 80);
}

TEST(ReleaseControl, ExpiryTimesReadOnlyInTheirOneForm) {
    using namespace release_control;
    EXPECT_EQ(ParseUtcTime(L" 2026-12-31T00:00:00Z "), 1798675200);
    EXPECT_EQ(ParseUtcTime(L"2000-02-29T23:59:59Z"), 951868799);
    EXPECT_EQ(FormatUtcTime(951868799), L"2000-02-29T23:59:59Z");
    for (const wchar_t* bad : {L"2026-02-29T00:00:00Z", L"2026-12-31 00:00:00Z", L"2026-12-31T00:00:00+01:00",
                               L"2026-13-01T00:00:00Z", L"2026-12-31T24:00:00Z", L""})
        EXPECT_FALSE(ParseUtcTime(bad)) << bad;
    EXPECT_EQ(ParsePercent(L" 10 "), 10);
    EXPECT_FALSE(ParsePercent(L"101"));
    EXPECT_FALSE(ParsePercent(L"-1"));
}

}  // namespace nm
