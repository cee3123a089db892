// portable: builds without Win32
#include "ui/progress_percent.h"

#include <gtest/gtest.h>

namespace nm {
namespace {

TEST(ProgressPercent, DownloadBytesMakeOnePercentThatNeverGoesBack) {
    ProgressPercent percent;
    // The list itself is fetched before any file is counted: nothing to show.
    EXPECT_FALSE(percent.OnFileBytes(1000, 500));
    EXPECT_EQ(percent.OnState(3), L"10%" + std::wstring(32, L' '));  // the check succeeded
    percent.SetCounts(1, 4);
    EXPECT_EQ(percent.OnFileBytes(1000, 500), L"43%" + std::wstring(32, L' '));  // 43.75
    EXPECT_FALSE(percent.OnFileBytes(1000, 100));                                // another file, further behind
    EXPECT_EQ(percent.Shown(), 43);
    EXPECT_EQ(percent.StatusText(), L"34%" + std::wstring(32, L' '));
    EXPECT_FALSE(percent.OnFileBytes(0, 0));
    EXPECT_FALSE(percent.OnState(5));  // a download error
    EXPECT_FALSE(percent.OnStatusText());
    EXPECT_FALSE(percent.OnState(6));  // 34 again: lower than shown
    EXPECT_EQ(percent.Shown(), 43);
    // The copy step's last status text comes before its final state.
    EXPECT_FALSE(percent.OnState(10));
    EXPECT_EQ(percent.OnState(12), L"100%");
    EXPECT_EQ(percent.OnStatusText(), L"100%");
    EXPECT_FALSE(percent.OnState(14));
}

TEST(ProgressPercent, LastFileCompleteIsHundredAndMoreIsCut) {
    ProgressPercent percent;
    percent.SetCounts(2, 3);
    EXPECT_EQ(percent.OnFileBytes(10, 10), L"100%");
    EXPECT_EQ(percent.OnFileBytes(10, 50), L"100%");
    EXPECT_EQ(percent.Shown(), 100);
}

TEST(ProgressPercent, SizesFromTheListMakeItFollowBytes) {
    ProgressPercent percent;
    percent.SetRowSizes({1, 1, 1, 1, 996});  // four small files and a large one
    EXPECT_EQ(percent.OnState(3), L"10%" + std::wstring(32, L' '));
    for (long row = 0; row < 4; ++row) {
        percent.OnRowSize(row, 1);
        EXPECT_FALSE(percent.OnRowBytes(row, 1));  // 10.36: finished files no longer jump it to 82
    }
    percent.SetCounts(4, 5);
    EXPECT_FALSE(percent.OnFileBytes(996, 0));  // the rule by files is off
    // The large file arrives as its archive, half its size: its share follows that.
    percent.OnRowSize(4, 498);
    EXPECT_EQ(percent.OnRowBytes(4, 249), L"55%" + std::wstring(32, L' '));
    EXPECT_EQ(percent.OnRowBytes(4, 498), L"100%");

    // No sizes: the rule by finished files, as before.
    ProgressPercent without;
    without.SetRowSizes({});
    without.OnRowSize(0, 5);
    EXPECT_FALSE(without.OnRowBytes(0, 5));
    without.SetCounts(1, 2);
    EXPECT_EQ(without.OnFileBytes(10, 0), L"55%" + std::wstring(32, L' '));
}

}  // namespace
}  // namespace nm
