#include "services/host_windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "app/update_app.h"
#include "host_test_window.h"

namespace nm {
namespace {

using testing::ReceivedMessage;
using testing::RecordingWindow;

const std::wstring kAppDir = L"C:\\Apps\\Demo\\";

class HostWindows : public ::testing::Test {
protected:
    void SetUp() override { theApp().settings.SetApplicationDirectory(kAppDir); }
    void TearDown() override { theApp().hosts.ReleaseAll(); }
};

TEST_F(HostWindows, RegisteredWindowGetsTextsThroughItsProcessBuffer) {
    RecordingWindow window;
    HostRegistry hosts;
    hosts.Register(window.get());
    ASSERT_TRUE(hosts.IsRegistered(window.get()));
    ASSERT_TRUE(hosts.HasRemoteBuffer(window.get()));

    const std::wstring log_line = L"Copied C:\\Apps\\Demo\\bin\\core.dll{zip}{process}";
    hosts.NotifyLog(log_line);
    hosts.SendStatusText(window.get(), L"Unpacking{zip}{process} C:\\Apps\\Demo\\data.zip", 7);

    ASSERT_EQ(window.received.size(), 2u);
    const ReceivedMessage& log = window.received[0];
    EXPECT_EQ(log.message, UM_HOST_LOG);
    EXPECT_EQ(log.text, L"Copied bin\\core.dll{zip}{process}");  // the marker stays in log lines
    EXPECT_TRUE(log.terminated);
    EXPECT_EQ(log.lparam, 0);
    EXPECT_NE(log.wparam, reinterpret_cast<WPARAM>(log_line.c_str()));  // a copy, not the sender's text

    const ReceivedMessage& status = window.received[1];
    EXPECT_EQ(status.message, UM_STATUSTEXT);
    EXPECT_EQ(status.text, L"Unpacking data.zip");
    EXPECT_EQ(status.lparam, 7);
    // One buffer, reused.
    EXPECT_EQ(status.wparam, log.wparam);

    // The buffer holds data only.
    MEMORY_BASIC_INFORMATION region = {};
    ASSERT_TRUE(::VirtualQuery(reinterpret_cast<void*>(log.wparam), &region, sizeof(region)));
    EXPECT_EQ(region.Protect, static_cast<DWORD>(PAGE_READWRITE));
}

TEST_F(HostWindows, TextsOfExactly1023CharactersArriveWholeLongerOnesAreCut) {
    RecordingWindow window;
    HostRegistry hosts;
    hosts.Register(window.get());
    const std::wstring exact(1023, L'e');
    hosts.NotifyLog(exact);
    hosts.SendStatusText(window.get(), exact + L"X", 0);
    hosts.NotifyLog(L"short");  // nothing of the longer text is left behind it

    ASSERT_EQ(window.received.size(), 3u);
    EXPECT_EQ(window.received[0].text, exact);
    EXPECT_EQ(window.received[1].text, exact);
    EXPECT_EQ(window.received[2].text, L"short");
}

TEST_F(HostWindows, StateAndDownloadCountsGoOnlyToWindowsThatAskedPropertiesToAll) {
    RecordingWindow asking, silent;
    asking.SetProperty(kNeedMessagesProperty, kPropertyOn);
    silent.SetProperty(kNeedMessagesProperty, 1);  // only 1974 means on
    HostRegistry hosts;
    hosts.Register(asking.get());
    hosts.Register(silent.get());
    hosts.Register(asking.get());  // registered once only

    hosts.NotifyState(5, 12);
    hosts.NotifyDownloaded(3, 12);
    hosts.NotifyFileBytes(5000000000LL, 4096);
    hosts.NotifyLog(L"log");

    ASSERT_EQ(asking.received.size(), 4u);
    EXPECT_EQ(asking.received[0].message, UM_HOST_STATE);
    EXPECT_EQ(asking.received[0].wparam, 5u);
    EXPECT_EQ(asking.received[0].lparam, 12);
    EXPECT_EQ(asking.received[1].message, UM_HOST_DOWNLOADED);
    EXPECT_EQ(asking.received[1].wparam, 3u);
    EXPECT_EQ(asking.received[2].message, UM_HOST_FILEBYTES);
    EXPECT_EQ(asking.received[2].wparam, 5000000000ULL);
    EXPECT_EQ(asking.received[2].lparam, 4096);
    EXPECT_EQ(asking.received[3].message, UM_HOST_LOG);

    // The silent host still gets byte progress and log lines, and can read the state.
    ASSERT_EQ(silent.received.size(), 2u);
    EXPECT_EQ(silent.received[0].message, UM_HOST_FILEBYTES);
    EXPECT_EQ(silent.received[1].message, UM_HOST_LOG);
    for (RecordingWindow* window : {&asking, &silent}) {
        EXPECT_EQ(window->Property(kStateProperty), 5u);
        EXPECT_EQ(window->Property(kFileCountProperty), 12u);
    }
}

TEST_F(HostWindows, DescriptionArrivesWholeAndTerminatedToWindowsThatAsked) {
    RecordingWindow asking, silent;
    asking.SetProperty(kNeedMessagesProperty, kPropertyOn);
    HostRegistry hosts;
    hosts.Register(asking.get());
    hosts.Register(silent.get());

    // 2048 characters fill a page exactly: only a buffer with room for the
    // zero keeps the text terminated.
    std::wstring description;
    for (int i = 0; description.size() < 2048; ++i) description += static_cast<wchar_t>(L'a' + i % 26);
    description.resize(2048);
    hosts.NotifyDescription(description);
    ASSERT_EQ(asking.received.size(), 1u);
    EXPECT_EQ(asking.received[0].message, UM_HOST_DESCRIPTION);
    EXPECT_TRUE(asking.received[0].terminated);
    EXPECT_EQ(asking.received[0].text, description);
    // The description had a buffer of its own, released after the message.
    MEMORY_BASIC_INFORMATION region = {};
    ::VirtualQuery(reinterpret_cast<void*>(asking.received[0].wparam), &region, sizeof(region));
    EXPECT_NE(region.State, static_cast<DWORD>(MEM_COMMIT));

    hosts.NotifyDescription(L"Version 2.0: C:\\Apps\\Demo\\ stays");
    hosts.NotifyDescription(L"");  // nothing to describe: no message
    ASSERT_EQ(asking.received.size(), 2u);
    EXPECT_EQ(asking.received[1].text, L"Version 2.0: C:\\Apps\\Demo\\ stays");
    EXPECT_TRUE(silent.received.empty());
}

TEST_F(HostWindows, StatusTextReachesTheGivenWindowAndEveryHostOnce) {
    RecordingWindow own, host;
    theApp().hosts.Register(host.get());

    ShowStatusText(own.get(), L"Copy{zip}{process} C:\\Apps\\Demo\\a.dll", -1);
    ASSERT_EQ(own.received.size(), 1u);
    // The updater's own window keeps the directory: only hosts see paths relative to it.
    EXPECT_EQ(own.received[0].text, L"Copy C:\\Apps\\Demo\\a.dll");
    EXPECT_EQ(own.received[0].lparam, -1);
    ASSERT_EQ(host.received.size(), 1u);
    EXPECT_EQ(host.received[0].text, L"Copy a.dll");
    EXPECT_EQ(host.received[0].lparam, -1);

    // A registered window given as the status window is not sent the text twice.
    ShowStatusText(host.get(), L"again", 1);
    EXPECT_EQ(host.received.size(), 2u);
    EXPECT_EQ(own.received.size(), 1u);

    // Without a window, only the hosts hear of it.
    ShowStatusText(nullptr, L"quiet", 0);
    ASSERT_EQ(host.received.size(), 3u);
    EXPECT_EQ(host.received[2].text, L"quiet");
}

TEST_F(HostWindows, ExitRequestIsRememberedAfterTheHostWindowIsGone) {
    RecordingWindow leaving, staying, plain;
    leaving.SetProperty(kExitWhenClosedProperty, kPropertyOn);
    staying.SetProperty(kExitWhenClosedProperty, kPropertyOn);
    HostRegistry hosts;
    hosts.Register(plain.get());
    hosts.Register(staying.get());
    EXPECT_FALSE(hosts.AnyAskedToExitAndGone());

    // A window gone that never asked does not end the cycle.
    plain.Destroy();
    EXPECT_FALSE(hosts.AnyAskedToExitAndGone());

    // Asked after registration: seen on the next notification, before the window goes.
    hosts.Register(leaving.get());
    hosts.NotifyState(4, 1);
    leaving.Destroy();  // removes its properties first, as hosts do
    EXPECT_TRUE(hosts.AnyAskedToExitAndGone());
    // Messages to the vanished window fail quietly.
    hosts.NotifyLog(L"still logging");
    hosts.NotifyState(5, 1);
    EXPECT_EQ(staying.received.back().text, L"still logging");
}

TEST_F(HostWindows, PauseFollowsTheHostsProperty) {
    RecordingWindow host;
    theApp().hosts.Register(host.get());
    EXPECT_FALSE(HostIsPaused());
    host.SetProperty(kPausedProperty, kPropertyOn);
    EXPECT_TRUE(HostIsPaused());
    host.SetProperty(kPausedProperty, 0);
    EXPECT_FALSE(HostIsPaused());
    EXPECT_FALSE(HostAskedToExitAndIsGone());
}

TEST_F(HostWindows, UnregisterAndReleaseForgetWindows) {
    RecordingWindow window, closing;
    HostRegistry hosts;
    hosts.Register(window.get());
    hosts.Register(nullptr);
    hosts.Register(closing.get());
    // A window that closes is forgotten at once: nothing reaches it afterwards.
    hosts.Unregister(closing.get());
    hosts.NotifyLog(L"after closing");
    hosts.SendStatusText(closing.get(), L"late", 0);
    EXPECT_TRUE(closing.received.empty());
    EXPECT_EQ(hosts.Windows(), std::vector<HWND>{window.get()});
    window.received.clear();
    hosts.ReleaseAll();
    EXPECT_TRUE(hosts.Windows().empty());
    hosts.NotifyLog(L"after release");
    EXPECT_TRUE(window.received.empty());
}

// Texts sent from several threads at once: each message must carry its own
// text while the host reads it, never one another thread wrote meanwhile.
TEST_F(HostWindows, TextsFromSeveralThreadsDoNotOverwriteEachOther) {
    HostRegistry hosts;
    std::atomic<HWND> window_handle{nullptr};
    std::atomic<DWORD> window_thread_id{0};
    std::vector<ReceivedMessage> received;
    std::thread window_thread([&] {
        RecordingWindow window;
        // Read again after a pause, as a slow host would: the text must not change.
        window.while_processing = [](ReceivedMessage& message) {
            ::Sleep(1);
            message.changed_while_read =
                testing::ReadTextMessage(message.message, message.wparam, message.lparam).text != message.text;
        };
        window_thread_id = ::GetCurrentThreadId();
        window_handle = window.get();
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
        received = std::move(window.received);
    });
    while (!window_handle) ::Sleep(1);
    hosts.Register(window_handle);

    constexpr int kPerThread = 40;
    auto sender = [&](wchar_t tag) {
        for (int i = 0; i < kPerThread; ++i) {
            std::wstring text = std::to_wstring(i);
            text.insert(text.begin(), tag);
            hosts.NotifyLog(text);
        }
    };
    std::thread first(sender, L'a'), second(sender, L'b');
    first.join();
    second.join();
    ::PostThreadMessageW(window_thread_id, WM_QUIT, 0, 0);
    window_thread.join();

    ASSERT_EQ(received.size(), 2u * kPerThread);
    std::set<std::wstring> texts;
    for (const auto& message : received) {
        EXPECT_FALSE(message.changed_while_read) << "text changed while the host read it";
        texts.insert(message.text);
    }
    EXPECT_EQ(texts.size(), 2u * kPerThread);  // every text arrived, none twice
}

}  // namespace
}  // namespace nm
