// A host in another process: test_host.exe, a real captioned window that
// records what it reads at the addresses the messages carry.
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

namespace nm {
namespace {

const std::wstring kAppDir = L"C:\\Apps\\Demo\\";

// One test_host.exe, ended when the test ends whatever happened.
class TestHost {
public:
    explicit TestHost(const std::wstring& options)
        : record_(scratch_.File(L"record.txt")), control_(scratch_.File(L"control.txt")) {
        const std::wstring handle_file = scratch_.File(L"handle.txt");
        process_ = StartTestProgram(L"test_host.exe", L"\"" + record_ + L"\" \"" + handle_file + L"\" --control \"" +
                                                          control_ + L"\" " + options);
        if (!process_ || !WaitFor([&] { return files::Exists(handle_file); })) return;
        const std::string handle = ReadFileBytes(handle_file);
        window_ = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::strtoull(handle.c_str(), nullptr, 10)));
    }
    ~TestHost() {
        if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process_.get(), 9);
            ::WaitForSingleObject(process_.get(), 5000);
        }
    }

    HWND window() const { return window_; }
    // Commands are taken one file at a time: wait until the last one was read.
    bool Command(const std::string& commands) {
        if (!WaitFor([&] { return !files::Exists(control_); })) return false;
        const std::wstring temporary = control_ + L".new";
        return WriteFileBytes(temporary, commands) &&
               ::MoveFileExW(temporary.c_str(), control_.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    bool WaitForExit() { return ::WaitForSingleObject(process_.get(), 20000) == WAIT_OBJECT_0; }
    std::vector<std::wstring> Records() const {
        std::vector<std::wstring> lines = text::Split(text::FromUtf8(ReadFileBytes(record_)), L'\n');
        if (!lines.empty() && lines.back().empty()) lines.pop_back();
        return lines;
    }

private:
    ScratchDirectory scratch_{L"host"};
    std::wstring record_, control_;
    unique_handle process_;
    HWND window_ = nullptr;
};

class HostInAnotherProcess : public ::testing::Test {
protected:
    void SetUp() override { theApp().settings.SetApplicationDirectory(kAppDir); }
    void TearDown() override { theApp().hosts.ReleaseAll(); }
};

TEST_F(HostInAnotherProcess, ReadsEveryTextInItsOwnMemory) {
    TestHost host(L"--needmsg");
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
    ASSERT_TRUE(host.Command("props\nclose\n"));
    ASSERT_TRUE(host.WaitForExit());

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
        L"props\t3\t2",
    };
    EXPECT_EQ(host.Records(), expected);
}

TEST_F(HostInAnotherProcess, PausesAndAbandonsThroughItsProperties) {
    TestHost host(L"--exitwhenwndkilled");
    ASSERT_TRUE(host.window());
    theApp().hosts.Register(host.window());

    EXPECT_FALSE(HostIsPaused());
    ASSERT_TRUE(host.Command("pause\n"));
    EXPECT_TRUE(WaitFor([] { return HostIsPaused(); }));
    ASSERT_TRUE(host.Command("resume\n"));
    EXPECT_TRUE(WaitFor([] { return !HostIsPaused(); }));

    // Not asked for state messages: only the properties change.
    theApp().hosts.NotifyState(1, 0);
    EXPECT_FALSE(HostAskedToExitAndIsGone());
    ASSERT_TRUE(host.Command("close\n"));
    ASSERT_TRUE(host.WaitForExit());
    EXPECT_TRUE(WaitFor([] { return HostAskedToExitAndIsGone(); }));
    EXPECT_FALSE(HostIsPaused());
    EXPECT_EQ(host.Records(), std::vector<std::wstring>{L"props\t1\t0"});
}

}  // namespace
}  // namespace nm
