#include "services/settings.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

#include "app/update_app.h"
#include "base/profile_text.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "base/url_text.h"
#include "scratch_directory.h"
#include "services/settings_rules.h"
#include "services/written_settings.h"

namespace nm {
namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.SetApplicationDirectory(scratch.path() + L"\\");
        // {app} in TempPath expands through the process's application directory.
        theApp().settings.SetApplicationDirectory(scratch.path() + L"\\");
    }
    void WriteIni(const std::string& text) { scratch.Write(L"novamend.ini", text); }

    ScratchDirectory scratch;
    VariableTable variables;
    Settings settings{variables};
};

TEST_F(SettingsTest, NonEmptyValuesAreReadOnceEmptyOnesEveryTime) {
    WriteIni("[Novamend]\r\nMode=silence\r\nLog=\r\n");
    EXPECT_EQ(settings.Read(L"Novamend", L"Mode"), L"silence");
    EXPECT_EQ(settings.Read(L"Novamend", L"Log"), L"");
    WriteIni("[Novamend]\r\nMode=icon\r\nLog=x.log\r\n");
    EXPECT_EQ(settings.Read(L"Novamend", L"Mode"), L"silence");
    EXPECT_EQ(settings.Read(L"Novamend", L"Log"), L"x.log");
    EXPECT_EQ(variables.Get(L"NovamendLog"), L"x.log");
}

TEST_F(SettingsTest, AbsentFileLongValuesAndNumbers) {
    EXPECT_EQ(settings.Read(L"UPDATEINFO", L"ListURL"), L"");
    EXPECT_EQ(settings.ReadWithDefault(L"Novamend", L"TimeOut", L"60"), L"60");
    EXPECT_TRUE(settings.ReadSwitch(L"Novamend", L"ShowWhenCheck", L"1"));
    WriteIni("[Novamend]\r\nTimeOut=soon\r\nMultCheckTimeOut=25x\r\nProxy=" + std::string(1500, 'p') +
             "\r\nShowWhenCheck=false\r\n");
    EXPECT_EQ(settings.ReadInteger(L"Novamend", L"TimeOut", L"60"), 0);
    EXPECT_EQ(settings.ReadInteger(L"Novamend", L"MultCheckTimeOut", L"60"), 25);
    EXPECT_EQ(settings.Read(L"Novamend", L"Proxy"), std::wstring(999, L'p'));
    EXPECT_FALSE(settings.ReadSwitch(L"Novamend", L"ShowWhenCheck", L"1"));
}

// The native tool reads settings by the profile functions' rules: the two
// must find the same value wherever a vendor's file is unusual.
TEST_F(SettingsTest, ThePortableReaderFindsWhatTheProfileFunctionsFind) {
    const std::string text =
        "ListURL=before any section\r\n[UPDATEINFO]\r\n  ListURL  =  http://a/list.xml  \r\n"
        "listurl=second\r\nQuoted=\"  spaced  \"\r\nSingle='x'\r\nHalf=\"open\r\nNoValue\r\n"
        "Equals=a=b\r\n; Comment=no\r\n\tTabbed\t=\tv\t\n[ Spaced ]\r\nKey=spaced\r\n"
        "[updateinfo]\r\nLater=only the first section counts\r\n[Other]x\nKey=past the bracket\r"
        "[Long]\r\nKey=" +
        std::string(1200, 'v') + "\r\n";
    WriteIni(text);
    const std::pair<const wchar_t*, const wchar_t*> lookups[] = {
        {L"UPDATEINFO", L"ListURL"}, {L" updateinfo ", L"LISTURL"},
        {L"UPDATEINFO", L"Quoted"},  {L"UPDATEINFO", L"Single"},
        {L"UPDATEINFO", L"Half"},    {L"UPDATEINFO", L"NoValue"},
        {L"UPDATEINFO", L"Equals"},  {L"UPDATEINFO", L"; Comment"},
        {L"UPDATEINFO", L"Tabbed"},  {L" Spaced ", L"Key"},
        {L"Spaced", L"Key"},         {L"UPDATEINFO", L"Later"},
        {L"Other", L"Key"},          {L"Long", L"Key"},
        {L"Missing", L"Key"}};
    for (const auto& [section, key] : lookups)
        EXPECT_EQ(profile::Value(text::FromUtf8(text), section, key, settings_rules::kMaxValueLength),
                  Settings::ReadIni(settings.SettingsFile(), section, key))
            << section << " " << key;
}

TEST_F(SettingsTest, WriteKeepsOtherKeysAndUpdatesTheCacheEvenWhenItFails) {
    WriteIni("[APPLICATION]\r\nName=app\r\nVer=1.0\r\n[Novamend]\r\nMode=silence\r\n");
    EXPECT_EQ(settings.Read(L"APPLICATION", L"Ver"), L"1.0");
    EXPECT_TRUE(settings.Write(L"APPLICATION", L"Ver", L"2.0"));
    EXPECT_EQ(settings.Read(L"APPLICATION", L"Ver"), L"2.0");
    VariableTable fresh_variables;
    Settings fresh{fresh_variables};
    fresh.SetApplicationDirectory(scratch.path() + L"\\");
    EXPECT_EQ(fresh.Read(L"APPLICATION", L"Ver"), L"2.0");
    EXPECT_EQ(fresh.Read(L"APPLICATION", L"Name"), L"app");
    EXPECT_EQ(fresh.Read(L"Novamend", L"Mode"), L"silence");

    settings.SetApplicationDirectory(scratch.path() + L"\\no\\such\\folder\\");
    EXPECT_FALSE(settings.Write(L"APPLICATION", L"Ver", L"3.0"));
    EXPECT_EQ(settings.Read(L"APPLICATION", L"Ver"), L"3.0");
}

TEST_F(SettingsTest, WrittenValuesOutliveTheDefaultWrittenAtEveryStartUntilTheVendorChangesIt) {
    const std::string shipped = "[APPLICATION]\r\nName=app\r\nVer=1.0\r\n";
    WriteIni(shipped);
    ASSERT_TRUE(settings.Write(L"APPLICATION", L"Ver", L"2.0"));
    ASSERT_TRUE(settings.Write(L"UPDATEINFO", L"ListURL", L"http://sample/novamend.xml"));
    const std::wstring ini = scratch.path() + L"\\novamend.ini", written = WrittenSettingsFile(scratch.path());
    auto restart_with = [&](const std::string& default_text) {
        WriteIni(default_text);
        ReapplyWrittenSettings(ini, written);
        VariableTable fresh_variables;
        Settings fresh{fresh_variables};
        fresh.SetApplicationDirectory(scratch.path() + L"\\");
        return std::make_pair(fresh.Read(L"APPLICATION", L"Ver"), fresh.Read(L"UPDATEINFO", L"ListURL"));
    };
    EXPECT_EQ(restart_with(shipped), std::make_pair(std::wstring(L"2.0"), std::wstring(L"http://sample/novamend.xml")));
    // Written again after a restart: the default it overrides is still the shipped one.
    ASSERT_TRUE(settings.Write(L"UPDATEINFO", L"ListURL", L"http://sample/novamend.xml"));
    EXPECT_EQ(restart_with(shipped), std::make_pair(std::wstring(L"2.0"), std::wstring(L"http://sample/novamend.xml")));
    // A new build whose default names another version and a list address.
    const auto rebranded = restart_with("[APPLICATION]\r\nVer=3.0\r\n[UPDATEINFO]\r\nListURL=http://vendor/l.xml\r\n");
    EXPECT_EQ(rebranded, std::make_pair(std::wstring(L"3.0"), std::wstring(L"http://vendor/l.xml")));
    EXPECT_EQ(restart_with(shipped).first, L"1.0");  // the note went with it
}

TEST_F(SettingsTest, ReadFromFileCachesUnderSectionAndKey) {
    scratch.Write(L"other.ini", "[APPLICATION]\r\nLumidexSetId=set9\r\n");
    EXPECT_EQ(settings.ReadFromFile(scratch.path() + L"\\other.ini", L"APPLICATION", L"LumidexSetId"), L"set9");
    EXPECT_EQ(settings.Read(L"APPLICATION", L"LumidexSetId"), L"set9");
}

TEST_F(SettingsTest, TemporaryDirectoryRulesAndListLocations) {
    WriteIni("[Novamend]\r\nTempPath=tmp\r\n[UPDATEINFO]\r\nListURL=http://127.0.0.1/novamend.xml\r\n");
    EXPECT_EQ(settings.TemporaryDirectory(), scratch.path() + L"\\tmp");
    const std::wstring digest = ListDigest(L"http://127.0.0.1/novamend.xml9999999999");
    EXPECT_EQ(settings.ListWorkDirectory(), scratch.path() + L"\\tmp\\" + digest);
    EXPECT_EQ(settings.LocalListFile(), scratch.path() + L"\\tmp\\" + digest + L".xml");
    EXPECT_EQ(settings.SavedPendingList(), scratch.path() + L"\\tmp\\" + digest + L".lst");
    EXPECT_EQ(settings.TemporarySettingsFile(), scratch.path() + L"\\tmp\\novamend.ini");

    VariableTable v2;
    Settings with_macro{v2};
    with_macro.SetApplicationDirectory(scratch.path() + L"\\");
    scratch.Write(L"novamend.ini", "[Novamend]\r\nTempPath={app}\\cache\r\n");
    EXPECT_EQ(with_macro.TemporaryDirectory(), scratch.path() + L"\\cache");

    VariableTable v3;
    Settings app_dir{v3};
    app_dir.SetApplicationDirectory(scratch.path() + L"\\");
    scratch.Write(L"novamend.ini", "[Novamend]\r\nTempAppPath=yes\r\nTempPath=D:\\x\r\n");
    EXPECT_EQ(app_dir.TemporaryDirectory(), scratch.path() + L"\\");
}

TEST_F(SettingsTest, ListFileZipComesFromTheTemporarySettingsFile) {
    CreateDirectoryW((scratch.path() + L"\\tmp").c_str(), nullptr);
    WriteIni("[Novamend]\r\nTempPath=tmp\r\nListFileZip=1\r\n");
    EXPECT_FALSE(settings.ReadSwitch(L"Novamend", L"ListFileZip", L"0"));
    scratch.Write(L"tmp\\novamend.ini", "[Novamend]\r\nListFileZip=1\r\n");
    EXPECT_TRUE(settings.ReadSwitch(L"Novamend", L"ListFileZip", L"0"));
}

TEST_F(SettingsTest, MainProgramPathAndConcurrentReads) {
    WriteIni("[APPLICATION]\r\nApplication=bin\\\\app.exe\r\n");
    EXPECT_EQ(settings.MainProgramPath(), scratch.path() + L"\\bin\\app.exe");
    // Worker threads fill the cache while others read it.
    std::vector<unique_handle> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back(CreateThread(
            nullptr, 0,
            [](void* p) -> DWORD {
                auto* s = static_cast<Settings*>(p);
                for (int k = 0; k < 200; ++k) s->Read(L"S" + std::to_wstring(k % 17), L"K");
                return s->MainProgramPath().empty() ? 1 : 0;
            },
            &settings, 0, nullptr));
    for (const unique_handle& thread : threads) {
        WaitForSingleObject(thread.get(), INFINITE);
        DWORD code = 1;
        GetExitCodeThread(thread.get(), &code);
        EXPECT_EQ(code, 0u);
    }
}

}  // namespace
}  // namespace nm
