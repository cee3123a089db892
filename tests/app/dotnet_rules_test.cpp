// portable: builds without Win32
#include "app/dotnet_rules.h"

#include <gtest/gtest.h>

#include <map>

namespace nm::dotnet {
namespace {

std::wstring Required(std::map<std::wstring, std::wstring> keys) {
    return RequiredVersion([&](const std::wstring& key) { return keys.count(key) ? keys[key] : L""; });
}

TEST(DotNetRules, GenericKeysWinOverTheVersionKeysInTheirOrder) {
    EXPECT_EQ(Required({{L"DotNetFx", L"3.5"}, {L"dotnetfx20", L"x"}}), L"3.5");
    EXPECT_EQ(Required({{L"dotnetfx", L"4"}, {L"DotNetFix", L"2.0"}}), L"2.0");
    EXPECT_EQ(Required({{L"dotnetfx40", L"anything"}, {L"dotnetfx35", L""}}), L"4.0");
    EXPECT_EQ(Required({{L"dotnetfx11", L"1"}, {L"dotnetfx30", L"1"}}), L"1.1");
    EXPECT_EQ(Required({{L"dotnetfx45", L"1"}}), L"");
}

TEST(DotNetRules, OnlyADirectoryOfTheRequiredVersionSatisfiesIt) {
    const std::vector<std::wstring> framework{L"v2.0.50727", L"v4.0.30319"};
    EXPECT_TRUE(IsInstalled(L"2", framework));
    EXPECT_FALSE(IsInstalled(L"4.5", framework));
    EXPECT_FALSE(IsInstalled(L"3.5", framework));
    EXPECT_TRUE(IsInstalled(L"5.0", {}));  // not a version this updater knows
}

TEST(DotNetRules, VersionCodesAndTheVendorsOwnInstallerAddress) {
    EXPECT_EQ(VersionCode(L"2.0"), L"20");
    EXPECT_EQ(VersionCode(L"4"), L"40");
    EXPECT_EQ(VersionFromCode(VersionCode(L"3.5")), L"3.5");
    EXPECT_EQ(DefaultInstallerAddress(L"35", L"http://vendor.example/app/novamend.xml"),
              L"http://vendor.example/app/dotnetfx35.exe");
    EXPECT_EQ(DefaultInstallerAddress(L"50", L"http://vendor.example/app/novamend.xml"), L"");
    EXPECT_EQ(DefaultInstallerAddress(L"20", L""), L"");
}

}  // namespace
}  // namespace nm::dotnet
