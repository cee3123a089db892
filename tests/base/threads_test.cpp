#include "base/threads.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>

namespace nm {
namespace {

TEST(ReusedThreads, PiecesHandedAtOnceEachGetAThreadAndLaterOnesReuseThem) {
    constexpr int kPieces = 24;
    std::mutex lock;
    std::set<DWORD> first_round;
    std::atomic<int> ended{0}, reused{0};
    auto capture = std::make_shared<int>(0);
    for (int round = 0; round < 2; ++round) {
        std::atomic<int> arrived{0};
        ended = 0;
        for (int i = 0; i < kPieces; ++i)
            ASSERT_TRUE(StartOnReusedThread([&, capture, round] {
                // Each waits for all the others: a piece left without a thread would hang them.
                for (++arrived; arrived < kPieces;) ::Sleep(1);
                std::lock_guard guard(lock);
                if (round == 0)
                    first_round.insert(::GetCurrentThreadId());
                else
                    reused += static_cast<int>(first_round.count(::GetCurrentThreadId()));
                ++ended;
            }));
        for (int waited = 0; capture.use_count() > 1 && waited < 1000; ++waited) ::Sleep(10);
        ASSERT_EQ(ended.load(), kPieces);  // and captures end with their piece, not with its thread
        ::Sleep(100);
    }
    EXPECT_GE(reused.load(), kPieces / 2);
}

}  // namespace
}  // namespace nm
