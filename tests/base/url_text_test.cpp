// portable: builds without Win32
#include "base/url_text.h"

#include <gtest/gtest.h>

namespace nm {
namespace {

TEST(ListUrlBase, CutsTheFileNameButKeepsShortTails) {
    EXPECT_EQ(ListUrlBase(L"http://h/a/list.xml"), L"http://h/a");
    EXPECT_EQ(ListUrlBase(L"http://h/a/"), L"http://h/a/");
    EXPECT_EQ(ListUrlBase(L"http://h/a/x"), L"http://h/a/x");  // "/" is one of the last two characters
    EXPECT_EQ(ListUrlBase(L"http://h/a/xy"), L"http://h/a");
    EXPECT_EQ(ListUrlBase(L"abc"), L"");
    EXPECT_EQ(ListUrlBase(L"/abc"), L"");  // a "/" at the first position is never found
    EXPECT_EQ(ListUrlBase(L"ab"), L"ab");
    EXPECT_EQ(ListUrlBase(L""), L"");
}

TEST(ListDigest, ElevenCharactersStableAndSpread) {
    const std::wstring a = ListDigest(L"http://127.0.0.1/novamend.xml9999999999");
    ASSERT_EQ(a.size(), 11u);
    EXPECT_EQ(a[4], L'-');
    for (size_t i = 0; i < a.size(); ++i) {
        if (i == 4) continue;
        EXPECT_NE(std::wstring(L"0123456789ABCDEF").find(a[i]), std::wstring::npos) << a;
    }
    EXPECT_EQ(a, ListDigest(L"http://127.0.0.1/novamend.xml9999999999"));
    EXPECT_NE(a, ListDigest(L"http://127.0.0.1/novamend2.xml9999999999"));
    // The empty text gives the seed's own digits.
    EXPECT_EQ(ListDigest(L""), L"E6D5-E42011");
    EXPECT_EQ(ListDigest(std::wstring(100000, L'\xFFFF')).size(), 11u);
}

TEST(PercentEncode, UnsafeAndNonAsciiCharacters) {
    EXPECT_EQ(PercentEncode(L"http://h/a b.txt"), L"http://h/a%20b.txt");
    EXPECT_EQ(PercentEncode(L"http://h/%41"), L"http://h/%2541");
    EXPECT_EQ(PercentEncode(L"http://h/a+b{c}"), L"http://h/a%2Bb%7Bc%7D");
    EXPECT_EQ(PercentEncode(L"http://h/\x4E2D.txt"), L"http://h/%E4%B8%AD.txt");
    EXPECT_EQ(PercentEncode(L"http://h/\x00E9\x00E9"), L"http://h/%C3%A9%C3%A9");
    EXPECT_EQ(PercentEncode(L"a\tb"), L"a%09b");
    EXPECT_EQ(PercentEncode(L"http://h/$&,;=?@-_!*()'"), L"http://h/$&,;=?@-_!*()'");
}

TEST(JoinUrl, OneSlashBetweenAndSchemeKept) {
    EXPECT_EQ(JoinUrl(L"http://h/a/", L"\\bin\\x.dll"), L"http://h/a/bin/x.dll");
    EXPECT_EQ(JoinUrl(L"http://h/a", L"x.dll"), L"http://h/a/x.dll");
    EXPECT_EQ(JoinUrl(L"HTTPS://h/a", L"x.dll"), L"HTTPS://h/a/x.dll");
    EXPECT_EQ(JoinUrl(L"https://h", L"/x.dll"), L"https://h/x.dll");
}

TEST(JudgeListAddress, ShortIsMissingOnlyHttpWithAServerStands) {
    EXPECT_EQ(JudgeListAddress(L"http"), ListAddressFault::missing);
    EXPECT_EQ(JudgeListAddress(L"HTTPS://h/novamend.xml"), ListAddressFault::none);
    EXPECT_EQ(JudgeListAddress(L"ftp://h/novamend.xml"), ListAddressFault::not_http);
    EXPECT_EQ(JudgeListAddress(L"127.0.0.1/novamend.xml"), ListAddressFault::not_http);
    EXPECT_EQ(JudgeListAddress(L"http:///novamend.xml"), ListAddressFault::no_host);
    EXPECT_EQ(JudgeListAddress(L"https://"), ListAddressFault::no_host);
}

}  // namespace
}  // namespace nm
