#include "app/list_address.h"

#include <gtest/gtest.h>

#include "app/update_app.h"
#include "child_process.h"
#include "scratch_directory.h"

namespace nm {
namespace {

class ListAddressTest : public ::testing::Test {
protected:
    void SetUp() override {
        app.settings.SetApplicationDirectory(scratch.path() + L"\\");
        app.context.executable_base_name = L"myupdater";
        app.variables.Clear();
    }
    void TearDown() override { app.variables.Clear(); }

    // Answers the question the call below raises, and returns its text.
    std::string AnswerQuestionWith(const wchar_t* answer) {
        // Only this process's box: other tests may show one with the same caption meanwhile.
        auto box = StartTestProgram(L"answer_box.exe", std::wstring(L"Novamend ") + answer + L" \"" +
                                                           scratch.File(L"box.txt") + L"\" 20000 " +
                                                           std::to_wstring(GetCurrentProcessId()));
        EXPECT_TRUE(box);
        EXPECT_FALSE(EnsureListAddress(app.context, nullptr, true));
        EXPECT_EQ(WaitForExit(box), 0u);
        return scratch.Read(L"box.txt");
    }

    CUpdateApp& app = theApp();
    ScratchDirectory scratch;
};

TEST_F(ListAddressTest, PresentAddressStoresTheListBase) {
    scratch.Write(L"novamend.ini", "[UPDATEINFO]\r\nListURL=http://h/updates/novamend.xml\r\n");
    EXPECT_TRUE(EnsureListAddress(app.context, nullptr, false));
    EXPECT_EQ(app.list.list_url_base, L"http://h/updates");
}

TEST_F(ListAddressTest, DecliningTheSampleWritesNothing) {
    scratch.Write(L"novamend.ini", "[APPLICATION]\r\nName=x\r\n");
    const std::string question = AnswerQuestionWith(L"no");
    EXPECT_EQ(question, "can't to get [UNDATEINFO]-ListURL from myupdater.ini\nMake a sample?");
    EXPECT_EQ(scratch.Read(L"novamend.ini"), "[APPLICATION]\r\nName=x\r\n");
}

TEST_F(ListAddressTest, AcceptingTheSampleWritesItAndStillReportsTheMissingAddress) {
    AnswerQuestionWith(L"yes");
    const std::string ini = scratch.Read(L"novamend.ini");
    EXPECT_NE(ini.find("ListURL=http://"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Application=demo.exe"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Name=Novamend demo"), std::string::npos) << ini;
    EXPECT_NE(ini.find("QuickCheck=0"), std::string::npos) << ini;
}

TEST_F(ListAddressTest, WithoutAskingNothingIsShown) {
    EXPECT_FALSE(EnsureListAddress(app.context, nullptr, false));
    EXPECT_EQ(scratch.Read(L"novamend.ini"), "");
}

}  // namespace
}  // namespace nm
