// A host in another process: the example host, a real captioned window that
// traces what it reads at the addresses the messages carry.
#include <gtest/gtest.h>

#include "wait_for.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "app/update_app.h"
#include "base/file_ops.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "child_process.h"
#include "scratch_directory.h"
#include "services/host_windows.h"
#include "../../examples/host/host_example.h"

namespace nm {
namespace {

const std::wstring kAppDir = L"C:\\Apps\\Demo\\";

// One host_example.exe, ended when the test ends whatever happened.
class ExampleHost {
public:
    ExampleHost() : record_(scratch_.File(L"trace.txt")) {
        process_ = StartTestProgram(L"host_example.exe", L"--trace \"" + record_ + L"\"");
        if (!process_ || !WaitFor([&] { return !Records().empty(); })) return;
        const std::wstring first = Records().front();
        if (first.starts_with(L"window\t"))
            window_ = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::wcstoull(first.c_str() + 7, nullptr, 10)));
    }
    ~ExampleHost() {
        if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process_.get(), 9);
            ::WaitForSingleObject(process_.get(), 5000);
        }
    }

    HWND window() const { return window_; }
    // As a click on the check box would.
    void TogglePause() { ::SendMessageW(::GetDlgItem(window_, IDC_PAUSE), BM_CLICK, 0, 0); }
    bool CloseAndWait() {
        ::PostMessageW(window_, WM_CLOSE, 0, 0);
        return ::WaitForSingleObject(process_.get(), 20000) == WAIT_OBJECT_0;
    }
    // The trace after its first line, which names the window.
    std::vector<std::wstring> Records() const {
        std::vector<std::wstring> lines = text::Split(text::FromUtf8(ReadFileBytes(record_)), L'\n');
        if (!lines.empty() && lines.back().empty()) lines.pop_back();
        return lines;
    }
    std::vector<std::wstring> Messages() const {
        std::vector<std::wstring> lines = Records();
        if (!lines.empty()) lines.erase(lines.begin());
        return lines;
    }

private:
    ScratchDirectory scratch_{L"host"};
    std::wstring record_;
    unique_handle process_;
    HWND window_ = nullptr;
};

class HostInAnotherProcess : public ::testing::Test {
protected:
    void SetUp() override { theApp().settings.SetApplicationDirectory(kAppDir); }
    void TearDown() override { theApp().hosts.ReleaseAll(); }
};

TEST_F(HostInAnotherProcess, ReadsEveryTextInItsOwnMemory) {
    ExampleHost host;
    ASSERT_TRUE(host.window());
    HostRegistry hosts;
    hosts.Register(host.window());
    ASSERT_TRUE(hosts.HasRemoteBuffer(host.window()));

    const std::wstring accented = L"\u00e9\u20ac \U0001F600";
    hosts.NotifyState(3, 2);
    hosts.NotifyLog(L"Copied C:\\Apps\\Demo\\bin\\a.dll");
    hosts.SendStatusText(host.window(), L"Unpacking{zip}{process} " + accented, 7);
    hosts.NotifyDownloaded(1, 2);
    hosts.NotifyFileBytes(100, 50);
    hosts.NotifyDescription(L"What's new:\r\n" + std::wstring(3000, L'd'));
    hosts.NotifyLog(std::wstring(1024, L'x'));
    // A window of another process that is not registered has no buffer of
    // ours: it gets no address rather than one it cannot read.
    ShowStatusText(host.window(), L"not registered", 1);
    ASSERT_TRUE(host.CloseAndWait());

    const std::vector<std::wstring> expected = {
        L"1974\t3\t2",
        L"1975\tCopied bin\\a.dll",
        L"1040\t7\tUnpacking " + accented,
        L"1976\t1\t2",
        L"1978\t100\t50",
        L"1977\tWhat's new:\\r\\n" + std::wstring(3000, L'd'),
        L"1975\t" + std::wstring(1023, L'x'),
        L"1040\t1\t(address 0)",
        L"props\t3\t2",
    };
    EXPECT_EQ(host.Messages(), expected);
}

TEST_F(HostInAnotherProcess, PausesAndAbandonsThroughItsProperties) {
    ExampleHost host;
    ASSERT_TRUE(host.window());
    theApp().hosts.Register(host.window());

    EXPECT_FALSE(HostIsPaused());
    host.TogglePause();
    EXPECT_TRUE(HostIsPaused());
    host.TogglePause();
    EXPECT_FALSE(HostIsPaused());

    // Not asked for state messages: only the properties change.
    ASSERT_TRUE(::SetPropW(host.window(), kNeedMessagesProperty, nullptr));
    theApp().hosts.NotifyState(1, 0);
    EXPECT_FALSE(HostAskedToExitAndIsGone());
    // The host removes its properties as it closes: the request seen before counts.
    ASSERT_TRUE(host.CloseAndWait());
    EXPECT_TRUE(WaitFor([] { return HostAskedToExitAndIsGone(); }));
    EXPECT_FALSE(HostIsPaused());
    EXPECT_EQ(host.Messages(), std::vector<std::wstring>{L"props\t1\t0"});
}

}  // namespace
}  // namespace nm
