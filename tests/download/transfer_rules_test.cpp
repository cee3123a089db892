// portable: builds without Win32
#include "download/transfer_rules.h"

#include <gtest/gtest.h>

namespace nm::transfer {
namespace {

TEST(SegmentSize, SmallFileUsesTheMinimumSegment) {
    // 100000 / 8 = 12500, * 3 / 4 = 9375, cut to 9216: below 51200.
    EXPECT_EQ(SegmentSize(100000, 8), 51200);
    EXPECT_EQ(SegmentCount(100000, 51200), 2);
    EXPECT_EQ(SegmentLength(100000, 51200, 0), 51200);
    EXPECT_EQ(SegmentLength(100000, 51200, 1), 48800);
}

TEST(SegmentSize, TenMebibytesOverEightConnections) {
    const std::int64_t size = 10485760;
    EXPECT_EQ(SegmentSize(size, 8), 983040);
    EXPECT_EQ(SegmentCount(size, 983040), 11);
    EXPECT_EQ(SegmentLength(size, 983040, 10), 655360);
}

TEST(SegmentSize, ExactMinimumIsOneSegment) {
    EXPECT_EQ(SegmentSize(51200, 8), 51200);
    EXPECT_EQ(SegmentCount(51200, 51200), 1);
}

TEST(SegmentSize, IsAMultipleOf1024AndThreeQuartersOfAShare) {
    for (std::int64_t size : {1000000LL, 3145728LL, 7777777LL, 123456789LL}) {
        for (int connections : {2, 3, 5, 8, 16, 100}) {
            const std::int64_t segment = SegmentSize(size, connections);
            EXPECT_EQ(segment % 1024, 0);
            EXPECT_GE(segment, 51200);
            if (segment > 51200) {
                EXPECT_LE(segment, size / connections * 3 / 4);
                EXPECT_GT(segment + 1024, size / connections * 3 / 4);
            }
            const std::int64_t count = SegmentCount(size, segment);
            std::int64_t covered = 0;
            for (std::int64_t i = 0; i < count; ++i) covered += SegmentLength(size, segment, i);
            EXPECT_EQ(covered, size);
        }
    }
}

TEST(SegmentSize, ConnectionsBelowOneCountAsOne) {
    EXPECT_EQ(SegmentSize(1048576, 0), 786432);
    EXPECT_EQ(SegmentSize(1048576, -5), 786432);
}

TEST(SegmentSize, FilesOverFourGibibytesAreCutWithoutOverflow) {
    const std::int64_t size = 5LL * 1024 * 1024 * 1024 + 12345;  // 5 GiB and a bit
    const std::int64_t segment = SegmentSize(size, 8);
    EXPECT_EQ(segment, (size / 8 * 3 / 4) / 1024 * 1024);
    EXPECT_GT(segment, 0x7FFFFFFFLL / 8);
    const std::int64_t count = SegmentCount(size, segment);
    EXPECT_EQ(count, 11);
    EXPECT_EQ(segment * (count - 1) + SegmentLength(size, segment, count - 1), size);
}

TEST(RangeHeader, EmptyAtTheStart) {
    EXPECT_EQ(RangeHeader(0), L"");
    EXPECT_EQ(RangeHeader(-3), L"");
}

TEST(RangeHeader, SameTextAs32BitFormatForSmallPositions) {
    EXPECT_EQ(RangeHeader(51200), L"Range:bytes=51200-");
    EXPECT_EQ(RangeHeader(2147483647), L"Range:bytes=2147483647-");
}

TEST(RangeHeader, PositionsBeyondTwoGibibytes) {
    EXPECT_EQ(RangeHeader(2147483648LL), L"Range:bytes=2147483648-");
    EXPECT_EQ(RangeHeader(6442450944LL), L"Range:bytes=6442450944-");
}

TEST(ClampProgress, StaysWithinZeroAndTheFileSize) {
    EXPECT_EQ(ClampProgress(1000, 1024, 1500), 1500);
    EXPECT_EQ(ClampProgress(1000, -4096, 1500), 0);
    EXPECT_EQ(ClampProgress(1000, 24, 1500), 1024);
    EXPECT_EQ(ClampProgress(4000000000LL, 1024, 5000000000LL), 4000001024LL);
}

TEST(JudgeRead, FullBlocksAndTheExactRestAreGood) {
    EXPECT_EQ(JudgeRead(1024, 51200), ReadOutcome::Good);
    EXPECT_EQ(JudgeRead(1024, 100), ReadOutcome::Good);  // only the remaining bytes are kept
    EXPECT_EQ(JudgeRead(576, 576), ReadOutcome::Good);
}

TEST(JudgeRead, AShortBlockInTheMiddleIsShort) {
    EXPECT_EQ(JudgeRead(700, 51200), ReadOutcome::Short);
    EXPECT_EQ(JudgeRead(1, 2), ReadOutcome::Short);
}

TEST(JudgeRead, NothingIsEmpty) { EXPECT_EQ(JudgeRead(0, 51200), ReadOutcome::Empty); }

TEST(NetworkReadSize, WholeBlocksOfWhatIsExpected) {
    EXPECT_EQ(NetworkReadSize(51200, 65536), 51200);
    EXPECT_EQ(NetworkReadSize(48800, 65536), 48 * 1024);
    EXPECT_EQ(NetworkReadSize(1, 65536), 1024);
    EXPECT_EQ(NetworkReadSize(0, 65536), 1024);
    EXPECT_EQ(NetworkReadSize(10000000, 65536), 65536);
    EXPECT_EQ(NetworkReadSize(6000000000LL, 65536), 65536);
}

TEST(ConnectionAttempts, TheValueIsTheNumberOfAttempts) {
    EXPECT_EQ(ConnectionAttempts(3), 3);
    EXPECT_EQ(ConnectionAttempts(1), 1);
    EXPECT_EQ(ConnectionAttempts(0), 1);
    EXPECT_EQ(ConnectionAttempts(-2), 1);
}

TEST(ParseDecimal, HeaderValues) {
    EXPECT_EQ(ParseDecimal(L"206"), 206);
    EXPECT_EQ(ParseDecimal(L"5368709120"), 5368709120LL);
    EXPECT_EQ(ParseDecimal(L"abc"), 0);
    EXPECT_EQ(ParseDecimal(L""), 0);
    EXPECT_EQ(ParseDecimal(L" 12x"), 12);
}

TEST(ProxyText, HostAndPort) {
    EXPECT_EQ(ProxyText(L"proxy.example:8080"), L"HTTP=HTTP://proxy.example:8080");
    EXPECT_EQ(ProxyText(L"10.0.0.1:3128:extra"), L"HTTP=HTTP://10.0.0.1:3128");
}

TEST(ProxyText, NoColonIsAnError) {
    EXPECT_EQ(ProxyText(L"proxy.example"), L"");
    EXPECT_EQ(ProxyText(L"proxy.example:"), L"");
}

}  // namespace
}  // namespace nm::transfer
