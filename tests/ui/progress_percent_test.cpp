// portable: builds without Win32
#include "ui/progress_percent.h"

#include <gtest/gtest.h>

namespace nm {
namespace {

TEST(ProgressPercent, DownloadBytesMakeOnePercentThatNeverGoesBack) {
    ProgressPercent percent;
    // The list itself is fetched before any file is counted: nothing to show.
    EXPECT_FALSE(percent.OnFileBytes(1000, 500));
    percent.SetState(3);  // the check succeeded
    EXPECT_EQ(percent.OnStatusText(), L"10%" + std::wstring(32, L' '));
    percent.SetCounts(1, 4);
    EXPECT_EQ(percent.OnFileBytes(1000, 500), L"43%" + std::wstring(32, L' '));  // 43.75
    EXPECT_FALSE(percent.OnFileBytes(1000, 100));  // another file, further behind
    EXPECT_EQ(percent.Shown(), 43);
    EXPECT_EQ(percent.StatusText(), L"34%" + std::wstring(32, L' '));
    EXPECT_FALSE(percent.OnFileBytes(0, 0));
    percent.SetState(5);  // a download error
    EXPECT_FALSE(percent.OnStatusText());
    percent.SetState(6);
    EXPECT_FALSE(percent.OnStatusText());  // 34 again: lower than shown
    EXPECT_EQ(percent.Shown(), 43);
    percent.SetState(13);
    EXPECT_EQ(percent.OnStatusText(), L"100%");
    percent.SetState(14);
    EXPECT_FALSE(percent.OnStatusText());
}

TEST(ProgressPercent, LastFileCompleteIsHundredAndMoreIsCut) {
    ProgressPercent percent;
    percent.SetCounts(2, 3);
    EXPECT_EQ(percent.OnFileBytes(10, 10), L"100%");
    EXPECT_EQ(percent.OnFileBytes(10, 50), L"100%");
    EXPECT_EQ(percent.Shown(), 100);
}

}  // namespace
}  // namespace nm
