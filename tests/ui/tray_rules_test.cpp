// portable: builds without Win32
#include "ui/tray_rules.h"

#include <gtest/gtest.h>

namespace nm::tray {
namespace {

TEST(TrayRules, CheckSpanIsClampedAndAnEmptyOneEndsTheMode) {
    EXPECT_EQ(CheckMinutes(L"3"), 3);
    EXPECT_EQ(CheckMinutes(L"0"), 5);
    EXPECT_EQ(CheckMinutes(L"-4"), 5);
    EXPECT_EQ(CheckMinutes(L"soon"), 5);
    EXPECT_EQ(CheckMinutes(L"90"), 60);
    EXPECT_EQ(CheckMinutes(L"59"), 59);
    EXPECT_EQ(CheckMinutes(L""), 5);
    EXPECT_TRUE(EndsWhenIdle(L""));
    EXPECT_FALSE(EndsWhenIdle(L"0"));
}

TEST(TrayRules, CountdownReachesZeroFortySecondsAfterTheCheckStarted) {
    // Two ticks a second from a check that took 2 seconds.
    long countdown = 120;
    int zero_at_tick = -1;
    for (int tick = 4; tick < 200 && zero_at_tick < 0; ++tick) {
        const long before = countdown;
        countdown = CountdownAfterTick(countdown, tick / 2);
        const int seconds = tick / 2;
        const long expected_step = seconds < 10 ? 0 : seconds < 20 ? 1 : seconds < 30 ? 2 : 3;
        if (countdown > 0) {
            EXPECT_EQ(before - countdown, expected_step) << seconds;
        }
        if (countdown == 0) zero_at_tick = tick;
    }
    EXPECT_EQ(zero_at_tick / 2, 39);
    EXPECT_EQ(CountdownAfterTick(0, 35), 0);
    EXPECT_EQ(CountdownAfterTick(-1, 35), -1);  // no countdown stays none
}

TEST(TrayRules, TheLineFollowsTheCheckAndTheUpdate) {
    EXPECT_EQ(NotificationFor(true, 3, 4).text, L"updater is running...");
    EXPECT_EQ(NotificationFor(false, 1, 0).text, L"Check update files");
    EXPECT_EQ(NotificationFor(false, 2, 0).text, L"Can't connection update server!");
    EXPECT_EQ(NotificationFor(false, 3, 0).text, L"Find nothing to update.");
    EXPECT_TRUE(NotificationFor(false, 3, 2).with_count);
    EXPECT_EQ(NotificationFor(false, 0, 2).text, L"");
    EXPECT_EQ(OutcomeOfUpdate(12, true), L"Upgrade is completed");
    EXPECT_EQ(OutcomeOfUpdate(5, true), L"Upgrade is abort");
    EXPECT_EQ(OutcomeOfUpdate(3, false), L"");
    EXPECT_EQ(TrayTip(L"Writer", L"Check update files", 128), L"[Writer]\nCheck update files");
    EXPECT_EQ(TrayTip(std::wstring(200, L'x'), L"line", 128).size(), 127u);
    EXPECT_TRUE(Contains({196, 8, 210, 22}, 210, 22));
    EXPECT_FALSE(Contains({196, 8, 210, 22}, 211, 8));
}

}  // namespace
}  // namespace nm::tray
