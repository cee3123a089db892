// A host in another process: test_host.exe, a real captioned window that
// records what it reads at the addresses the messages carry.
#include <gtest/gtest.h>

#include "wait_for.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "app/host_windows.h"
#include "app/update_app.h"
#include "base/text.h"
#include "base/unique_handle.h"

namespace nm {
namespace {

const std::wstring kAppDir = L"C:\\Apps\\Demo\\";

std::wstring BesideThisProgram(const std::wstring& name) {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.rfind(L'\\') + 1) + name;
}

std::string ReadFileBytes(const std::wstring& path) {
    unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    if (!file) return bytes;
    char chunk[4096];
    DWORD read = 0;
    while (::ReadFile(file.get(), chunk, sizeof(chunk), &read, nullptr) && read > 0) bytes.append(chunk, read);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    unique_hfile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// One test_host.exe, ended when the test ends whatever happened.
class TestHost {
public:
    explicit TestHost(const std::wstring& options) {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"novamend-host-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                  std::to_wstring(::GetTickCount64());
        ::CreateDirectoryW(folder_.c_str(), nullptr);
        record_ = folder_ + L"\\record.txt";
        control_ = folder_ + L"\\control.txt";
        const std::wstring handle_file = folder_ + L"\\handle.txt";
        std::wstring command = L"\"" + BesideThisProgram(L"test_host.exe") + L"\" \"" + record_ + L"\" \"" +
                               handle_file + L"\" --control \"" + control_ + L"\" " + options;
        STARTUPINFOW startup = {sizeof(startup)};
        PROCESS_INFORMATION started = {};
        if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &started))
            return;
        process_.reset(started.hProcess);
        unique_handle thread(started.hThread);
        if (!WaitFor([&] { return FileExists(handle_file); })) return;
        const std::string handle = ReadFileBytes(handle_file);
        window_ = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::strtoull(handle.c_str(), nullptr, 10)));
    }
    ~TestHost() {
        if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process_.get(), 9);
            ::WaitForSingleObject(process_.get(), 5000);
        }
        for (const std::wstring& file : {record_, control_, control_ + L".new", control_ + L".taken",
                                         folder_ + L"\\handle.txt"})
            ::DeleteFileW(file.c_str());
        ::RemoveDirectoryW(folder_.c_str());
    }

    HWND window() const { return window_; }
    // Commands are taken one file at a time: wait until the last one was read.
    bool Command(const std::string& commands) {
        if (!WaitFor([&] { return !FileExists(control_); })) return false;
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
    std::wstring folder_, record_, control_;
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
