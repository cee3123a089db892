// portable: builds without Win32
#include "app/command_line.h"
#include "app/exit_code.h"

#include <gtest/gtest.h>

#define NOVAMEND_HOST_NUMBERS_ONLY
#include "novamend_host.h"
#undef NOVAMEND_HOST_NUMBERS_ONLY

namespace nm::command_line {
namespace {

auto NoWindows = [](std::intptr_t) { return false; };

std::wstring ModeFor(std::wstring_view raw, std::wstring_view mode_setting = L"") {
    std::wstring processed = Process(raw, L"C:\\Marwenti\\lumdex\\app\\", L"novamend");
    return ChooseRunModeAndHost(WorkingCopy(processed), mode_setting, NoWindows).run_mode;
}

TEST(CommandLine, ProcessingLowerCasesDropsQuotesAndOwnPath) {
    EXPECT_EQ(
        Process(L"\"C:\\Marwenti\\lumdex\\App\\NovaMend.exe\" /Silence  ", L"C:\\Marwenti\\lumdex\\app\\", L"NovaMend"),
        L"/silence");
    // Run from elsewhere, the path stays and is split like any other text.
    EXPECT_EQ(Process(L"\"D:\\x\\novamend.exe\" /icon", L"C:\\app\\", L"novamend"), L"d:\\x\\novamend.exe /icon");
    EXPECT_EQ(Process(L"   ", L"C:\\app\\", L"novamend"), L"");
}

TEST(CommandLine, WordsOverrideTheModeSettingAndLaterWordsWin) {
    EXPECT_EQ(ModeFor(L"", L"AppEnterNoPrompt "), L"appenternoprompt");
    EXPECT_EQ(ModeFor(L"/silence", L"AppEnterNoPrompt"), L"silence");
    EXPECT_EQ(ModeFor(L"-icon"), L"tryicon");
    EXPECT_EQ(ModeFor(L"/showwhenhaveupdate"), L"showwhenupdate");
    EXPECT_EQ(ModeFor(L"/checkforupdates /silence"), L"silence");
    // Unknown words and an unknown Mode are kept as they are: the default mode.
    EXPECT_EQ(ModeFor(L"/frobnicate", L"Weird"), L"weird");
    EXPECT_EQ(ModeFor(L"garbage,,,//--"), L"");
}

TEST(CommandLine, HostWindowIsANumberNamingAnExistingWindow) {
    auto only_4242 = [](std::intptr_t h) { return h == 4242; };
    auto chosen = ChooseRunModeAndHost(WorkingCopy(L"/checkforupdates /123"), L"", only_4242);
    EXPECT_EQ(chosen.run_mode, L"checkforupdates");
    EXPECT_EQ(chosen.host, 0);
    chosen = ChooseRunModeAndHost(WorkingCopy(L"/silence 4242"), L"", only_4242);
    EXPECT_EQ(chosen.run_mode, L"silence");
    EXPECT_EQ(chosen.host, 4242);
    // The conversion reads leading digits, as the C library does.
    EXPECT_EQ(ChooseRunModeAndHost(L"4242abc", L"", only_4242).host, 4242);
    EXPECT_EQ(ChooseRunModeAndHost(L"99999999999999999999", L"", only_4242).host, 0);
}

TEST(CommandLine, DotNetSwitchesCountOnlyAfterTheFirstCharacterInSearchOrder) {
    EXPECT_FALSE(DotNetSwitch(L"dotnet20").has_value());
    EXPECT_EQ(DotNetSwitch(L"/dotnet20").value_or(L""), L"2.0");
    EXPECT_EQ(DotNetSwitch(L"/dotnet40 /dotnet20").value_or(L""), L"2.0");
    EXPECT_EQ(DotNetSwitch(L"-dotnet35").value_or(L""), L"3.5");
    // At the very start it does not count, and the search goes on with the next version.
    EXPECT_EQ(DotNetSwitch(L"dotnet20 /dotnet40").value_or(L""), L"4.0");
    EXPECT_FALSE(DotNetSwitch(L"/silence").has_value());
}

TEST(CommandLine, ElevationMarkerAnywhere) {
    EXPECT_TRUE(HasElevationMarker(L"/appenter ___runas_admin___"));
    EXPECT_FALSE(HasElevationMarker(L"/appenter __runas_admin__"));
}

TEST(ExitCode, FailureThenFilesThenDifferingVersionThenZero) {
    EXPECT_EQ(nm::ExitCode(true, 3, L"2.0", L"1.0"), -1);
    EXPECT_EQ(nm::ExitCode(false, 3, L"2.0", L"1.0"), 3);
    EXPECT_EQ(nm::ExitCode(false, 0, L"2.0", L"1.0"), 2147483647);
    EXPECT_EQ(nm::ExitCode(false, 0, L"1.0", L"1.0"), 0);
    EXPECT_EQ(nm::ExitCode(false, 0, L"", L"1.0"), 0);
}

}  // namespace
}  // namespace nm::command_line
