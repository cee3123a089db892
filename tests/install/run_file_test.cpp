// Starting real programs: record_start.exe writes down how it was started.
#include "install/run_file.h"

#include <gtest/gtest.h>

#include "wait_for.h"

#include <string>
#include <vector>

#include "host_test_window.h"
#include "app/update_app.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "child_process.h"
#include "scratch_directory.h"

namespace nm {
namespace {

// A folder with a space in its name holding a copy of record_start.exe.
class RunFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(::CopyFileW(TestProgramPath(L"record_start.exe").c_str(), program_.c_str(), FALSE));
    }
    void TearDown() override { theApp().hosts.ReleaseAll(); }

    // The record's lines, split at tabs.
    std::vector<std::vector<std::wstring>> Records() const {
        std::vector<std::vector<std::wstring>> records;
        for (const std::wstring& line : text::Split(text::FromUtf8(ReadFileBytes(record_)), L'\n'))
            if (!line.empty()) records.push_back(text::Split(line, L'\t'));
        return records;
    }
    std::wstring Quoted(const std::wstring& path) const { return L"\"" + path + L"\""; }

    ScratchDirectory scratch_{L"run file"};
    const std::wstring folder_ = scratch_.path();
    const std::wstring program_ = scratch_.File(L"record_start.exe");
    const std::wstring record_ = scratch_.File(L"record.txt");
};

TEST_F(RunFileTest, StartsInTheProgramsFolderReportsAndWaitsWhenAsked) {
    testing::RecordingWindow window;
    ASSERT_TRUE(RunFile(program_, L"", Quoted(record_) + L" --sleep=300 alpha", window.get(), true));

    // Waited: the program had ended before RunFile returned.
    const auto records = Records();
    ASSERT_EQ(records.size(), 2u);
    ASSERT_EQ(records[0].size(), 4u);
    EXPECT_EQ(records[0][0], L"start");
    EXPECT_TRUE(text::EqualsNoCase(records[0][2], folder_)) << records[0][2];
    EXPECT_EQ(records[0][3], L"--sleep=300 alpha");
    EXPECT_EQ(records[1], (std::vector<std::wstring>{L"end", records[0][1]}));

    ASSERT_EQ(window.received.size(), 1u);
    EXPECT_EQ(window.received[0].message, 1040u);
    EXPECT_EQ(window.received[0].text, L"Run file[record_start.exe][" + Quoted(record_) + L" --sleep=300 alpha]");
    EXPECT_EQ(window.received[0].lparam, 1);
}

TEST_F(RunFileTest, UsesTheGivenWorkingDirectory) {
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    ASSERT_TRUE(RunFile(program_, windows, Quoted(record_) + L" --sleep=0", nullptr, true));
    const auto records = Records();
    ASSERT_FALSE(records.empty());
    EXPECT_TRUE(text::EqualsNoCase(records[0][2], windows)) << records[0][2];
}

TEST_F(RunFileTest, ReturnsAtOnceWhenNotWaiting) {
    ASSERT_TRUE(RunFile(program_, L"", Quoted(record_) + L" --sleep=20000", nullptr, false));
    // Far from its end; it has started (or is starting) meanwhile.
    ASSERT_TRUE(WaitFor([&] { return !Records().empty(); }));
    const auto records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0][0], L"start");
    unique_handle started(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, text::ToLong(records[0][1])));
    ASSERT_TRUE(started);
    ::TerminateProcess(started.get(), 0);
    ::WaitForSingleObject(started.get(), 5000);
}

TEST_F(RunFileTest, CommandLinesNameTheirProgramWithOrWithoutQuotes) {
    // Unquoted, with a space in the folder: the longest existing prefix is the program.
    ASSERT_TRUE(RunFile(program_ + L" " + Quoted(record_) + L" beta  gamma", nullptr, true));
    ASSERT_TRUE(RunFile(Quoted(program_) + L"   " + Quoted(record_) + L" delta", nullptr, true));
    const auto records = Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0][3], L"beta gamma");
    EXPECT_EQ(records[1][3], L"delta");
    EXPECT_TRUE(text::EqualsNoCase(records[1][2], folder_));
}

TEST_F(RunFileTest, PathMacrosAreExpandedInTheProgram) {
    theApp().settings.SetApplicationDirectory(folder_ + L"\\");
    ASSERT_TRUE(RunFile(L"{app}\\record_start.exe " + Quoted(record_) + L" macro", nullptr, true));
    const auto records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0][3], L"macro");
}

TEST_F(RunFileTest, MissingProgramsAndActionScriptsStartNothing) {
    testing::RecordingWindow window;
    EXPECT_FALSE(RunFile(folder_ + L"\\missing.exe", L"", Quoted(record_), window.get(), true));
    EXPECT_FALSE(RunFile(L"", window.get(), true));
    EXPECT_FALSE(RunFile(L"   ", window.get(), true));

    // A script is never handed to the shell, whatever its letter case; one
    // that is no XML does nothing.
    const std::wstring script = folder_ + L"\\actions.XML";
    ASSERT_TRUE(WriteFileBytes(script, ""));
    EXPECT_FALSE(RunFile(script, L"", L"", window.get(), true));
    EXPECT_FALSE(RunFile(Quoted(script) + L" ignored", window.get(), true));

    EXPECT_TRUE(window.received.empty());
    EXPECT_TRUE(Records().empty());
}

}  // namespace
}  // namespace nm
