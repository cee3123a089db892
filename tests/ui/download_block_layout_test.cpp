// portable: builds without Win32
#include "ui/download_block_layout.h"

#include <gtest/gtest.h>

namespace nm::download_blocks {
namespace {

TEST(DownloadBlockLayout, TwentyMebibytesInEightConnectionsFillTwentyRowsOfForty) {
    const Layout layout = LayOut(20971520, 1966080, 400, 200);
    EXPECT_EQ(layout.cells_per_segment, 74);
    EXPECT_EQ(layout.multiplier, 121);
    EXPECT_EQ(layout.total_cells, 789);
    EXPECT_EQ(layout.columns, 40);
    EXPECT_EQ(Rows(layout), 20);
    // At least 20 cells per segment overflow a low view: the scroll bar takes its room.
    const Layout low = LayOut(20971520, 1966080, 400, 30);
    EXPECT_EQ(low.cells_per_segment, 20);
    EXPECT_EQ(low.columns, 38);
}

TEST(DownloadBlockLayout, SmallSegmentsAndTinyViewsNeverDivideByZero) {
    // 4 units per segment and at least 20 cells per segment would make the multiplier 0.
    const Layout layout = LayOut(10000, 1000, 5, 5);
    EXPECT_EQ(layout.multiplier, 1);
    EXPECT_EQ(layout.columns, 1);
    EXPECT_EQ(layout.total_cells, 200);
    EXPECT_EQ(FilledCount(layout, 1000), 4);
    EXPECT_EQ(LayOut(10000, 0, 400, 200).total_cells, 0);
}

TEST(DownloadBlockLayout, CellsFillPerSegmentOnlyOnceTheSegmentReported) {
    const Layout layout = LayOut(20971520, 1966080, 400, 200);
    const std::map<std::int64_t, std::int64_t> drawn{{1, 3}};
    EXPECT_FALSE(CellIsFilled(layout, 0, drawn));  // segment 0 has not reported
    EXPECT_TRUE(CellIsFilled(layout, 74 + 3, drawn));
    EXPECT_FALSE(CellIsFilled(layout, 74 + 4, drawn));
}

}  // namespace
}  // namespace nm::download_blocks
