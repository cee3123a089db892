#include "base/threads.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>

#include "base/unique_handle.h"

namespace nm {
namespace {

TEST(ReusedThreads, EveryPieceRunsAtOnceAndLaterPiecesReuseTheirThreads) {
    // More pieces at once than threads wait idle: each must get a thread of
    // its own, or the ones holding the gate would wait for ever.
    constexpr int kPieces = 24;
    unique_handle gate(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    unique_handle all_ended(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<int> started{0}, ended{0}, reused{0};
    std::mutex ids_lock;
    std::set<DWORD> ids;
    auto capture = std::make_shared<int>(0);
    for (int round = 0; round < 2; ++round) {
        started = ended = 0;
        ::ResetEvent(gate.get());
        ::ResetEvent(all_ended.get());
        for (int i = 0; i < kPieces; ++i) {
            ASSERT_TRUE(StartOnReusedThread([&, capture] {
                ++started;
                ::WaitForSingleObject(gate.get(), 10000);
                {
                    std::lock_guard guard(ids_lock);
                    if (round == 0) ids.insert(::GetCurrentThreadId());
                    else if (ids.count(::GetCurrentThreadId())) ++reused;
                }
                if (++ended == kPieces) ::SetEvent(all_ended.get());
            }));
        }
        for (int waited = 0; started < kPieces && waited < 1000; ++waited) ::Sleep(10);
        EXPECT_EQ(started.load(), kPieces);
        ::SetEvent(gate.get());
        ASSERT_EQ(::WaitForSingleObject(all_ended.get(), 10000), WAIT_OBJECT_0);
        // A piece's captures end with the piece, while its thread waits on.
        for (int waited = 0; capture.use_count() > 1 && waited < 100; ++waited) ::Sleep(10);
        EXPECT_EQ(capture.use_count(), 1);
        ::Sleep(100);  // the threads go back to waiting
    }
    EXPECT_EQ(ids.size(), static_cast<size_t>(kPieces));
    EXPECT_GE(reused.load(), kPieces / 2);
}

}  // namespace
}  // namespace nm
