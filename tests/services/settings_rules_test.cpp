// portable: builds without Win32
#include "services/settings_rules.h"

#include <gtest/gtest.h>

namespace nm::settings_rules {
namespace {

TEST(SwitchRule, ValuesAndDefaults) {
    for (auto on : {L"true", L"TRUE", L"yes", L"Yes", L"y", L"1", L"  1  ", L"t", L"10"})
        EXPECT_TRUE(SwitchIsOn(on, L"0")) << on;
    for (auto off : {L"false", L"no", L"0", L"off", L"2", L" x"}) EXPECT_FALSE(SwitchIsOn(off, L"1")) << off;
    EXPECT_TRUE(SwitchIsOn(L"", L"1"));
    EXPECT_FALSE(SwitchIsOn(L"", L"0"));
    EXPECT_FALSE(SwitchIsOn(L"", L""));
}

TEST(EmbeddedLookup, CrLfAndBareLfKeepTheWholeValue) {
    EXPECT_EQ(EmbeddedValue(L"[APPLICATION]\r\nName=abc\r\nVer=1\r\n", L"APPLICATION", L"Name"), L"abc");
    // A bare line feed must not cost the value its last character.
    EXPECT_EQ(EmbeddedValue(L"[APPLICATION]\nName=abc\nVer=1\n", L"APPLICATION", L"Name"), L"abc");
    EXPECT_EQ(EmbeddedValue(L"[APPLICATION]\nName=abc", L"APPLICATION", L"Name"), L"abc");
    EXPECT_EQ(EmbeddedValue(L"[APPLICATION]\nName=\n", L"APPLICATION", L"Name"), L"");
}

TEST(EmbeddedLookup, SearchesFromTheSectionOn) {
    const wchar_t* text = L"[Novamend]\r\nName=wrong\r\n[APPLICATION]\r\nApplication=a.exe\r\nName=right\r\n";
    EXPECT_EQ(EmbeddedValue(text, L"APPLICATION", L"Name"), L"right");
    EXPECT_EQ(EmbeddedValue(text, L"MISSING", L"Name"), L"");
    EXPECT_EQ(EmbeddedValue(text, L"APPLICATION", L"Nothing"), L"");
    EXPECT_EQ(EmbeddedValue(L"", L"APPLICATION", L"Name"), L"");
}

TEST(TemporaryDirectoryRule, ApplicationDirectorySettingOrPlatform) {
    const wchar_t* app = L"C:\\Marwenti\\lumdex\\x\\";
    EXPECT_EQ(TemporaryDirectory(true, L"D:\\tmp", app, L"C:\\temp\\"), app);
    EXPECT_EQ(TemporaryDirectory(false, L"tmp", app, L"C:\\temp\\"), L"C:\\Marwenti\\lumdex\\x\\tmp");
    EXPECT_EQ(TemporaryDirectory(false, L"\\tmp", app, L"C:\\temp\\"), L"C:\\Marwenti\\lumdex\\x\\tmp");
    EXPECT_EQ(TemporaryDirectory(false, L"D:\\tmp", app, L"C:\\temp\\"), L"D:\\tmp");
    EXPECT_EQ(TemporaryDirectory(false, L"", app, L"C:\\temp\\"), L"C:\\temp\\");
}

TEST(Locations, MainProgramPathAndBrandedDirectory) {
    EXPECT_EQ(MainProgramPath(L"bin\\app.exe", L"C:\\app\\"), L"C:\\app\\bin\\app.exe");
    EXPECT_EQ(MainProgramPath(L"D:\\x\\app.exe", L"C:\\app\\"), L"D:\\x\\app.exe");
    EXPECT_EQ(MainProgramPath(L"", L"C:\\app\\"), L"");
    EXPECT_EQ(BrandedApplicationDirectory(L"C:\\windows", L"abc", L"", false), L"C:\\Marwenti\\lumdex\\abc\\");
    EXPECT_EQ(BrandedApplicationDirectory(L"C:\\windows", L"abc", L"set7", true), L"C:\\Marwenti\\lumdex\\set7\\abc\\");
    EXPECT_TRUE(ReadsFromTemporarySettings(L"Novamend", L"ListFileZip"));
    EXPECT_FALSE(ReadsFromTemporarySettings(L"novamend", L"ListFileZip"));
}

}  // namespace
}  // namespace nm::settings_rules
