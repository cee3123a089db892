#include "download/thread_values.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "base/unique_handle.h"
#include "download/segmented_download.h"

namespace nm::thread_values {
namespace {

TEST(ThreadValues, MissingKeysReadZeroAndZeroRemoves) {
    EXPECT_EQ(Get(kFileReceived, 987654), 0);
    Set(kFileReceived, 987654, 5);
    EXPECT_EQ(Get(kFileReceived, 987654), 5);
    EXPECT_EQ(Add(kFileReceived, 987654, -5), 0);
    EXPECT_EQ(Get(kFileReceived, 987654), 0);
}

TEST(ThreadValues, HoldsSixtyFourBitByteCounts) {
    const std::int64_t five_gib = 5LL * 1024 * 1024 * 1024;
    EXPECT_EQ(AddClamped(kFileReceived, 987655, five_gib, 6LL * 1024 * 1024 * 1024), five_gib);
    EXPECT_EQ(AddClamped(kFileReceived, 987655, five_gib, 6LL * 1024 * 1024 * 1024), 6LL * 1024 * 1024 * 1024);
    EXPECT_EQ(AddClamped(kFileReceived, 987655, -7 * five_gib, 1), 0);
}

TEST(ThreadValues, ConcurrentAddsAreNotLost) {
    constexpr int kThreads = 8;
    constexpr int kAdds = 2000;
    std::vector<unique_handle> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back(::CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                for (int n = 0; n < kAdds; ++n) Add(kSegmentReceived | 3, 424242, 1);
                return 0;
            },
            nullptr, 0, nullptr));
    }
    for (const unique_handle& thread : threads) ::WaitForSingleObject(thread.get(), INFINITE);
    EXPECT_EQ(Get(kSegmentReceived | 3, 424242), kThreads * kAdds);
}

TEST(ThreadValues, EveryDownloaderGetsTheNextFileId) {
    CSegmentedDownloader first;
    CSegmentedDownloader second;
    EXPECT_EQ(second.id(), first.id() + 1);
    EXPECT_EQ(Get(kLastFileId, 0), second.id());
    EXPECT_EQ(first.connections, 8);
}

}  // namespace
}  // namespace nm::thread_values
