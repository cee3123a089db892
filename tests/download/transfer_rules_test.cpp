// portable: builds without Win32
#include "download/transfer_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

#include "download/rate_cap.h"
#include "download/segment_plan.h"

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

TEST(RangeHeader, BoundedUnlessItRunsToTheEnd) {
    EXPECT_EQ(RangeHeader(0, kFirstRequestLength, INT64_MAX), L"Range:bytes=0-1048575");
    EXPECT_EQ(RangeHeader(51200, 102400, 100000000), L"Range:bytes=51200-102399");
    EXPECT_EQ(RangeHeader(6442450944LL, 6442451968LL, 6442451968LL), L"Range:bytes=6442450944-");
}

TEST(ParseContentRange, RangesTotalsAndRubbish) {
    ContentRange range;
    ASSERT_TRUE(ParseContentRange(L"bytes 0-1048575/268435456", &range));
    EXPECT_EQ((std::vector<std::int64_t>{range.first, range.last, range.total}),
              (std::vector<std::int64_t>{0, 1048575, 268435456}));
    ASSERT_TRUE(ParseContentRange(L"bytes */0", &range));
    EXPECT_EQ((std::vector<std::int64_t>{range.first, range.total}), (std::vector<std::int64_t>{-1, 0}));
    for (const wchar_t* bad : {L"bytes 0-99/*", L"bytes 5-4/10", L"bytes 0-10/10", L"items 0-1/2", L"bytes 0-1/2x",
                               L"bytes=0-1/2", L"", L"bytes 99999999999999999999-1/2"})
        EXPECT_FALSE(ParseContentRange(bad, &range)) << bad;
}

Answer Ranged(std::int64_t first, std::int64_t last, std::int64_t total) {
    Answer answer;
    answer.status = 206;
    answer.has_range = true;
    answer.range = {first, last, total};
    return answer;
}

Answer Whole(std::int64_t status, std::int64_t length) {
    Answer answer;
    answer.status = status;
    answer.has_length = true;
    answer.length = length;
    return answer;
}

TEST(JudgeFirstAnswer, SizeFromTheRangeOrTheWholeBody) {
    EXPECT_EQ(JudgeFirstAnswer(Ranged(0, 1048575, 5000000)).size, 5000000);
    EXPECT_EQ(JudgeFirstAnswer(Ranged(0, 29998, 30000)).kind, FirstAnswerKind::Failed);  // not what was asked
    EXPECT_EQ(JudgeFirstAnswer(Ranged(1, 1048576, 5000000)).kind, FirstAnswerKind::Failed);
    EXPECT_EQ(JudgeFirstAnswer(Whole(200, 12)).kind, FirstAnswerKind::WholeBody);
    EXPECT_EQ(JudgeFirstAnswer(Whole(200, 0)).kind, FirstAnswerKind::Empty);
    Answer no_length;
    no_length.status = 200;
    EXPECT_EQ(JudgeFirstAnswer(no_length).kind, FirstAnswerKind::Failed);
    EXPECT_EQ(JudgeFirstAnswer(Ranged(-1, -1, 0)).kind, FirstAnswerKind::Failed);  // 206 with no range
    Answer unsatisfiable = Ranged(-1, -1, 0);
    unsatisfiable.status = 416;
    EXPECT_EQ(JudgeFirstAnswer(unsatisfiable).kind, FirstAnswerKind::Empty);
    unsatisfiable.range.total = 7;
    EXPECT_EQ(JudgeFirstAnswer(unsatisfiable).kind, FirstAnswerKind::Failed);
    EXPECT_EQ(JudgeFirstAnswer(Whole(404, 9)).kind, FirstAnswerKind::NotFound);
    EXPECT_EQ(JudgeFirstAnswer(Whole(500, 9)).kind, FirstAnswerKind::Failed);
}

TEST(JudgeRangeAnswer, ExactRangesWholeBodiesAndChangedFiles) {
    EXPECT_EQ(JudgeRangeAnswer(Ranged(100, 199, 1000), 100, 200, 1000), RangeAnswerKind::Ranged);
    EXPECT_EQ(JudgeRangeAnswer(Ranged(100, 198, 1000), 100, 200, 1000), RangeAnswerKind::Failed);
    EXPECT_EQ(JudgeRangeAnswer(Ranged(100, 199, 1001), 100, 200, 1000), RangeAnswerKind::FileChanged);
    EXPECT_EQ(JudgeRangeAnswer(Whole(200, 1000), 100, 200, 1000), RangeAnswerKind::WholeBody);
    EXPECT_EQ(JudgeRangeAnswer(Whole(200, 999), 100, 200, 1000), RangeAnswerKind::FileChanged);
    EXPECT_EQ(JudgeRangeAnswer(Whole(416, 0), 100, 200, 1000), RangeAnswerKind::FileChanged);
    EXPECT_EQ(JudgeRangeAnswer(Whole(503, 1000), 100, 200, 1000), RangeAnswerKind::Failed);
}

TEST(NextRequestLength, HalfASecondAtTheLastRate) {
    EXPECT_EQ(NextRequestLength(0, 0), kFirstRequestLength);
    EXPECT_EQ(NextRequestLength(1 << 20, 1.0), 512 * 1024);  // 1 MiB/s
    EXPECT_EQ(NextRequestLength(1000, 1.0), kMinimumRequest);
    EXPECT_GE(NextRequestLength(1 << 20, 0.0), 1LL << 40);  // too fast to measure
}

TEST(SegmentPlan, FirstConnectionKeepsItsSegmentsOthersTakeTheRestThenHalves) {
    // 10 MiB in segments of 983040: the first request's 1 MiB ends in segment 1.
    const std::int64_t size = 10485760, segment = 983040;
    SegmentPlan plan(size, segment, kFirstRequestLength);
    EXPECT_EQ(plan.UnstartedSegments(), 9u);
    ByteRange first = plan.NextRequest(0, 1 << 30);
    EXPECT_EQ(first.first, 0);
    EXPECT_EQ(first.end, kFirstRequestLength);  // what it asked for already
    plan.Advance(0, first.end);
    first = plan.NextRequest(0, 1 << 30);
    EXPECT_EQ(first.first, kFirstRequestLength);
    EXPECT_EQ(first.end, 2 * segment);
    const int other = plan.AddConnection();
    std::int64_t covered = 2 * segment;
    for (int i = 0; i < 9; ++i) {
        const ByteRange range = plan.NextRequest(other, 1 << 30);
        EXPECT_EQ(range.first, covered);
        covered = range.end;
        plan.Advance(other, range.end - range.first);
    }
    EXPECT_EQ(covered, size);
    // Nothing is unstarted and connection 0 asked for all of its piece.
    EXPECT_TRUE(plan.NextRequest(other, 1 << 30).empty());
}

TEST(SegmentPlan, AFreeConnectionTakesTheUpperHalfOfWhatWasNotAskedFor) {
    SegmentPlan plan(4 << 20, 4 << 20, kFirstRequestLength);  // one segment of 4 MiB
    ByteRange first = plan.NextRequest(0, 1 << 30);
    plan.Advance(0, first.end - first.first);
    first = plan.NextRequest(0, 256 * 1024 + 100);  // asks in small steps, whole blocks
    EXPECT_EQ(first.first, 1 << 20);
    EXPECT_EQ(first.end, (1 << 20) + 256 * 1024);
    const int helper = plan.AddConnection();
    const ByteRange taken = plan.NextRequest(helper, 1 << 30);
    EXPECT_LE(taken.end, 4 << 20);
    EXPECT_EQ(taken.first, first.end + ((4 << 20) - first.end) / 2);
    EXPECT_EQ(taken.first % kBlockSize, 0);
    plan.Advance(0, first.end - first.first);
    // Never more than half the rest at once, beyond the first MiB; and no
    // byte is asked for twice.
    for (std::int64_t covered = first.end; covered < taken.first;) {
        const ByteRange rest = plan.NextRequest(0, 1 << 30);
        ASSERT_EQ(rest.first, covered);
        EXPECT_LE(rest.end, taken.first);
        EXPECT_LE(rest.end - rest.first, std::max<std::int64_t>(kFirstRequestLength, (taken.first - covered) / 2));
        plan.Advance(0, rest.end - rest.first);
        covered = rest.end;
    }
    // A rest below the minimum stays where it is.
    SegmentPlan small(100000, 100000, 100000);
    EXPECT_TRUE(small.NextRequest(small.AddConnection(), 1 << 30).empty());
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

// Readers that each wait as told, on several connections and after idle
// spans, never take more than the rate plus its small credit over 5 seconds.
TEST(RatePacerTest, HoldsEveryFiveSecondWindowWithinTheCap) {
    constexpr std::int64_t kRate = 200 * 1024, kSecond = 1'000'000;
    nm::RatePacer pacer(kRate);
    std::vector<std::pair<std::int64_t, std::int64_t>> reads;  // (time, bytes)
    std::int64_t ready[3] = {0, 0, 0};                         // when each connection reads next
    std::int64_t now = 0;
    for (int i = 0; i < 3000; ++i) {
        std::int64_t& connection = *std::min_element(std::begin(ready), std::end(ready));
        now = std::max(now, connection);
        if (i == 1500) now += 7 * kSecond;  // the server stalled
        const std::int64_t asked = pacer.LargestRead();
        const std::int64_t read_at = now + pacer.DelayBefore(asked, now);
        const std::int64_t bytes = asked - (i % 7) * 100;  // now and then less than asked
        pacer.GiveBack(asked - bytes);
        reads.emplace_back(read_at, bytes);
        connection = read_at + 300;  // the read itself takes a moment
    }
    std::sort(reads.begin(), reads.end());
    ASSERT_GT(reads.back().first, 20 * kSecond);
    for (size_t first = 0; first < reads.size(); ++first) {
        std::int64_t window_bytes = 0;
        for (size_t i = first; i < reads.size() && reads[i].first < reads[first].first + 5 * kSecond; ++i)
            window_bytes += reads[i].second;
        EXPECT_LE(window_bytes, kRate * 5 * 11 / 10) << "window from " << reads[first].first;
    }
    EXPECT_EQ(nm::RatePacer(100).LargestRead(), 1024);
    nm::RatePacer opening(kRate, kRate / 2);  // half a second behind at the start
    EXPECT_EQ(opening.DelayBefore(kRate / 10, 0), kSecond * 6 / 10);
}
