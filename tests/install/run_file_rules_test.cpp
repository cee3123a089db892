// portable: builds without Win32
#include "install/run_file_rules.h"

#include <gtest/gtest.h>

#include <set>

namespace nm::run_file_rules {
namespace {

auto Existing(std::set<std::wstring> files) {
    return [files = std::move(files)](const std::wstring& path) { return files.count(path) > 0; };
}

TEST(RunFileRules, QuotedProgramEndsAtItsClosingQuote) {
    auto split = SplitCommandLine(L"  \"C:\\My App\\tool.exe\"   /a \"b c\" ", Existing({}));
    EXPECT_EQ(split.program, L"C:\\My App\\tool.exe");
    EXPECT_EQ(split.parameters, L"/a \"b c\"");
    split = SplitCommandLine(L"\"C:\\unclosed tool.exe", Existing({}));
    EXPECT_EQ(split.program, L"C:\\unclosed tool.exe");
    EXPECT_EQ(split.parameters, L"");
}

TEST(RunFileRules, UnquotedProgramIsTheLongestExistingPrefix) {
    const auto exists = Existing({L"C:\\Program", L"C:\\Program Files\\x.exe"});
    auto split = SplitCommandLine(L"C:\\Program Files\\x.exe -q now", exists);
    EXPECT_EQ(split.program, L"C:\\Program Files\\x.exe");
    EXPECT_EQ(split.parameters, L"-q now");
    split = SplitCommandLine(L"C:\\Program Files\\x.exe", exists);
    EXPECT_EQ(split.program, L"C:\\Program Files\\x.exe");
    EXPECT_EQ(split.parameters, L"");
}

TEST(RunFileRules, UnknownProgramEndsAtTheFirstSpace) {
    auto split = SplitCommandLine(L"{app}\\notify.exe  state  end", Existing({}));
    EXPECT_EQ(split.program, L"{app}\\notify.exe");
    EXPECT_EQ(split.parameters, L"state  end");
    EXPECT_EQ(SplitCommandLine(L"   ", Existing({})).program, L"");
}

TEST(RunFileRules, PathPiecesAndScriptsAndReport) {
    EXPECT_EQ(FolderOf(L"C:\\a\\b\\c.exe"), L"C:\\a\\b");
    EXPECT_EQ(FolderOf(L"c.exe"), L"");
    EXPECT_EQ(FileNameOf(L"C:\\a\\b\\c.exe"), L"c.exe");
    EXPECT_TRUE(IsActionScript(L"C:\\x\\ACTIONS.XML"));
    EXPECT_FALSE(IsActionScript(L"C:\\x\\actions.xml.exe"));
    EXPECT_EQ(RunReport(L"Run file", L"C:\\a\\setup.exe", L""), L"Run file[setup.exe]");
    EXPECT_EQ(RunReport(L"Run file", L"C:\\a\\setup.exe", L"/s"), L"Run file[setup.exe][/s]");
}

TEST(RunFileRules, WaitWordsOfRunEntriesAndScripts) {
    // A list's run entry reads "o" as yes, so even no and off wait; a
    // script's "waitclose" does not.
    for (const wchar_t* text : {L"yes", L"TRUE", L"on", L"1", L"no", L"off"}) EXPECT_TRUE(RunEntryWaits(text)) << text;
    for (const wchar_t* text : {L"false", L"n", L""}) EXPECT_FALSE(RunEntryWaits(text)) << text;
    for (const wchar_t* text : {L"Yes", L"1", L"true"}) EXPECT_TRUE(ScriptRunWaits(text)) << text;
    for (const wchar_t* text : {L"no", L"off", L""}) EXPECT_FALSE(ScriptRunWaits(text)) << text;
    EXPECT_EQ(RunEntryReport(L"Run", L"C:\\a\\setup.exe", L"", true), L"Run[C:\\a\\setup.exe][wait]");
    EXPECT_EQ(RunEntryReport(L"Run", L"C:\\a\\setup.exe", L"/q", false), L"Run[C:\\a\\setup.exe][/q][nowait]");
}

}  // namespace
}  // namespace nm::run_file_rules
