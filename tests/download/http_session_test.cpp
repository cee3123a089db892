// The proxy rules of the transfer layer, in process: no server is needed to
// see which Internet handle a setting gives.
#include "download/http_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/update_app.h"
#include "download/segmented_download.h"
#include "scratch_directory.h"
#include "services/settings_rules.h"

namespace nm {
namespace {

class ProxySettings : public ::testing::Test {
protected:
    void SetUp() override {
        theApp().settings.SetApplicationDirectory(scratch_.path() + L"\\");
        SetProxyErrorReporter([this](const std::wstring& text) { reports_.push_back(text); });
    }
    void TearDown() override {
        Set(L"Proxy", L"");
        Set(L"ProxyUser", L"");
        SetProxyErrorReporter(nullptr);
    }
    static void Set(const std::wstring& key, const std::wstring& value) {
        theApp().variables.Set(settings_rules::CacheName(L"Novamend", key), value);
    }
    ScratchDirectory scratch_{L"proxy"};
    std::vector<std::wstring> reports_;
};

TEST_F(ProxySettings, NoProxyOpensAPreconfiguredHandle) {
    unique_hinternet session = OpenSession(L"querysize1");
    ASSERT_TRUE(session);
    EXPECT_TRUE(reports_.empty());
}

TEST_F(ProxySettings, HostAndPortGiveAProxyHandle) {
    Set(L"Proxy", L"127.0.0.1:3128");
    unique_hinternet session = OpenSession(L"down1");
    ASSERT_TRUE(session);
    EXPECT_TRUE(reports_.empty());
    std::vector<char> buffer(2048);
    DWORD length = static_cast<DWORD>(buffer.size());
    ASSERT_TRUE(::InternetQueryOptionW(session.get(), INTERNET_OPTION_PROXY, buffer.data(), &length));
    auto* info = reinterpret_cast<INTERNET_PROXY_INFO*>(buffer.data());
    EXPECT_EQ(info->dwAccessType, static_cast<DWORD>(INTERNET_OPEN_TYPE_PROXY));
    ASSERT_NE(info->lpszProxy, nullptr);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(info->lpszProxy)), L"HTTP=HTTP://127.0.0.1:3128");
}

TEST_F(ProxySettings, ProxyWithoutColonIsReportedAndOpensNothing) {
    Set(L"Proxy", L"proxyhost");
    EXPECT_FALSE(OpenSession(L"down1"));
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0], L"The proxy set error!");

    // Every transfer through the session fails, and each one says so again.
    EXPECT_EQ(QueryRemoteSize(L"http://127.0.0.1:9/file.bin"), -1);
    EXPECT_EQ(reports_.size(), 2u);
    CSegmentedDownloader downloader;
    const std::wstring target = scratch_.File(L"target.bin");
    EXPECT_FALSE(downloader.DownloadFile(L"http://127.0.0.1:9/file.bin", target, true, -1, nullptr));
    EXPECT_EQ(reports_.size(), 3u);
    EXPECT_EQ(::GetFileAttributesW(target.c_str()), INVALID_FILE_ATTRIBUTES);
}

// The credentials themselves are checked end to end (test_download.py): the
// handle does not tell them under Wine.
TEST_F(ProxySettings, UserWithoutProxyKeepsTheDirectHandle) {
    Set(L"ProxyUser", L"alice,secret");
    unique_hinternet session = OpenSession(L"down1");
    ASSERT_TRUE(session);
    std::vector<char> buffer(2048);
    DWORD length = static_cast<DWORD>(buffer.size());
    ASSERT_TRUE(::InternetQueryOptionW(session.get(), INTERNET_OPTION_PROXY, buffer.data(), &length));
    EXPECT_NE(reinterpret_cast<INTERNET_PROXY_INFO*>(buffer.data())->dwAccessType,
              static_cast<DWORD>(INTERNET_OPEN_TYPE_PROXY));
}

}  // namespace
}  // namespace nm
