#include "services/log.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <regex>
#include <thread>

#include "app/update_app.h"
#include "base/file_ops.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "base/url_text.h"
#include "child_process.h"
#include "scratch_directory.h"
#include "wait_for.h"

namespace nm {
namespace {

std::string LocalNowStamp() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%04u-%02u-%02u %02u:%02u:%02u]", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return stamp;
}

// Lines of a log file, split at CR LF; false when a line feed stands alone.
std::vector<std::string> LogLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t end; (end = bytes.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(bytes.substr(at, end - at));
    if (at != bytes.size()) lines.push_back(bytes.substr(at) + "<no line end>");
    return lines;
}

class LogFile : public testing::Test {
protected:
    void SetUp() override {
        directory_ = scratch_.path() + L"\\";
        theApp().settings.SetApplicationDirectory(directory_);
    }
    void TearDown() override { UseLog(L""); }

    void UseLog(const std::wstring& name) { theApp().settings.Write(L"Novamend", L"Log", name); }
    ScratchDirectory scratch_;
    std::wstring directory_;
};

TEST_F(LogFile, LineIsLocalTimeStampTextAndCrLfAppended) {
    UseLog(L"update.log");
    const std::string before = LocalNowStamp();
    WriteLog(L"Find nothing to update.");
    WriteLog(L"second");
    const std::string after = LocalNowStamp();

    const auto lines = LogLines(ReadFileBytes(directory_ + L"update.log"));
    ASSERT_EQ(lines.size(), 2u);
    static const std::regex shape(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\]Find nothing to update\.)");
    EXPECT_TRUE(std::regex_match(lines[0], shape)) << lines[0];
    const std::string stamp = lines[0].substr(0, 21);
    EXPECT_LE(before, stamp);
    EXPECT_LE(stamp, after);
    EXPECT_EQ(lines[1].substr(21), "second");
}

TEST_F(LogFile, AppendsToWhatIsThereAndAcceptsASubdirectory) {
    ASSERT_TRUE(::CreateDirectoryW((directory_ + L"logs").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(directory_ + L"logs\\a.log", "old\r\n"));
    UseLog(L"\\logs\\a.log");  // doubled separator after the directory is collapsed
    WriteLog(L"new");
    const auto lines = LogLines(ReadFileBytes(directory_ + L"logs\\a.log"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "old");
    EXPECT_EQ(lines[1].substr(21), "new");
}

TEST_F(LogFile, NothingIsWrittenWithoutASettingOrAPlaceForIt) {
    UseLog(L"");
    WriteLog(L"not written");
    UseLog(L"missing\\update.log");
    WriteLog(L"not written either");
    UseLog(L"C:\\absolute.log");
    WriteLog(L"nor this");

    WIN32_FIND_DATAW found{};
    unique_hfind find(::FindFirstFileW((directory_ + L"*").c_str(), &found));
    std::vector<std::wstring> names;
    do {
        const std::wstring name = found.cFileName;
        // Only the settings the test wrote (and their note) are there.
        if (name != L"." && name != L".." && name != L"novamend.ini" && name != L"__written.ini") names.push_back(name);
    } while (::FindNextFileW(find.get(), &found));
    EXPECT_EQ(names, std::vector<std::wstring>{});
    EXPECT_FALSE(files::Exists(directory_ + L"missing"));
}

TEST_F(LogFile, WrittenInTheThreadsAnsiCodePageWithReplacements) {
    UseLog(L"update.log");
    const LCID before = ::GetThreadLocale();
    // Russian: code page 1251 holds Cyrillic but no Chinese.
    ASSERT_TRUE(::SetThreadLocale(MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), SORT_DEFAULT)));
    WriteLog(L"\u0412\u044b\u0445\u043e\u0434 \u66f4\u65b0");
    ::SetThreadLocale(before);

    const auto lines = LogLines(ReadFileBytes(directory_ + L"update.log"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(21), "\xC2\xFB\xF5\xEE\xE4 ??");
}

TEST_F(LogFile, TwoThreadsWriteWholeLines) {
    UseLog(L"threads.log");
    constexpr int kLines = 150;
    auto writer = [](wchar_t mark) {
        for (int i = 0; i < kLines; ++i) WriteLog(std::wstring(300, mark));
    };
    std::thread a(writer, L'a'), b(writer, L'b');
    a.join();
    b.join();

    std::map<char, int> counts;
    for (const std::string& line : LogLines(ReadFileBytes(directory_ + L"threads.log"))) {
        ASSERT_EQ(line.size(), 321u) << line;
        const std::string body = line.substr(21);
        ASSERT_EQ(body, std::string(300, body[0])) << line;
        ++counts[body[0]];
    }
    EXPECT_EQ(counts, (std::map<char, int>{{'a', kLines}, {'b', kLines}}));
}

TEST_F(LogFile, TheLockIsNamedAfterTheLogFileSoOtherApplicationsNeverWait) {
    // Another application's updater holds the lock of its own log file; this
    // log is written all the same. The lock's name is what two updaters of
    // one application agree on.
    UseLog(L"mine.log");
    const std::wstring other = L"novamend.log." + ListDigest(text::Lower(L"C:\\elsewhere\\other.log"));
    unique_handle taken(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread holder([&] {
        unique_handle lock(::CreateMutexW(nullptr, TRUE, other.c_str()));
        ::SetEvent(taken.get());
        ::WaitForSingleObject(done.get(), 30000);
        ::ReleaseMutex(lock.get());
    });
    ASSERT_EQ(::WaitForSingleObject(taken.get(), 10000), WAIT_OBJECT_0);
    std::thread writer([&] { WriteLog(L"not held up"); });
    const bool written = WaitFor([&] { return !ReadFileBytes(directory_ + L"mine.log").empty(); }, 10000);
    ::SetEvent(done.get());
    writer.join();
    holder.join();
    EXPECT_TRUE(written);
    // The lock of this log is held by name while a line is written.
    unique_handle mine(::OpenMutexW(SYNCHRONIZE, FALSE,
                                    (L"novamend.log." + ListDigest(text::Lower(directory_ + L"mine.log"))).c_str()));
    EXPECT_TRUE(mine);
}

TEST_F(LogFile, TwoProcessesWriteWholeLines) {
    constexpr int kLines = 400;
    const std::wstring start_name = L"novamend-log-writers-" + std::to_wstring(::GetCurrentProcessId());
    unique_handle start(::CreateEventW(nullptr, TRUE, FALSE, start_name.c_str()));
    unique_handle ready(::CreateSemaphoreW(nullptr, 0, 2, (start_name + L"-ready").c_str()));
    ASSERT_TRUE(start && ready);
    std::vector<unique_handle> processes;
    for (const wchar_t* tag : {L"first", L"second"}) {
        // No trailing separator before the closing quote, which would escape it.
        const std::wstring directory = directory_.substr(0, directory_.size() - 1);
        processes.push_back(StartTestProgram(L"log_writer.exe", L"\"" + directory + L"\" shared.log " + tag + L" " +
                                                                    std::to_wstring(kLines) + L" " + start_name));
        ASSERT_TRUE(processes.back());
    }
    // Both writers are loaded and waiting before either writes a line.
    for (int i = 0; i < 2; ++i) ASSERT_EQ(::WaitForSingleObject(ready.get(), 30000), WAIT_OBJECT_0);
    ::SetEvent(start.get());
    for (auto& process : processes) EXPECT_EQ(WaitForExit(process, 60000), 0u);

    std::map<std::string, int> counts;
    static const std::regex shape(R"(\[[-0-9 :]{19}\](first|second) (\d+) (f{400}|s{400}))");
    for (const std::string& line : LogLines(ReadFileBytes(directory_ + L"shared.log"))) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, shape)) << line;
        EXPECT_EQ(m[1].str()[0], m[3].str()[0]) << line;
        ++counts[m[1]];
    }
    EXPECT_EQ(counts, (std::map<std::string, int>{{"first", kLines}, {"second", kLines}}));
}

}  // namespace
}  // namespace nm
