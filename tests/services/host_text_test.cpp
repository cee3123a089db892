// portable: builds without Win32
#include "services/host_text.h"

#include <gtest/gtest.h>

namespace nm::host_text {
namespace {

const std::wstring kAppDir = L"C:\\Apps\\Demo\\";

TEST(HostText, ApplicationDirectoryIsRemovedEverywhereSoPathsReadRelative) {
    EXPECT_EQ(ForHost(L"Copy C:\\Apps\\Demo\\bin\\a.dll to C:\\Apps\\Demo\\b.dll", kAppDir, false),
              L"Copy bin\\a.dll to b.dll");
    EXPECT_EQ(ForHost(L"Copy C:\\Apps\\Demo\\bin\\a.dll", kAppDir, true), L"Copy bin\\a.dll");
    // Another directory that only starts alike stays whole.
    EXPECT_EQ(ForHost(L"C:\\Apps\\Demo2\\x", kAppDir, false), L"C:\\Apps\\Demo2\\x");
    // Without a known directory nothing is removed.
    EXPECT_EQ(ForHost(L"C:\\Apps\\Demo\\x", L"", false), L"C:\\Apps\\Demo\\x");
}

TEST(HostText, ZipProcessMarkerIsRemovedFromStatusTextsOnly) {
    const std::wstring text = L"Unpack{zip}{process} a.zip {zip}{process}";
    EXPECT_EQ(ForHost(text, kAppDir, true), L"Unpack a.zip ");
    EXPECT_EQ(ForHost(text, kAppDir, false), text);
    EXPECT_EQ(WithoutZipProcessMarker(L"{zip}{zip}{process}{process}"), L"{zip}{process}");
}

TEST(HostText, TextsAreCutToTheRemoteBuffer) {
    static_assert(kMaxCharacters == 1023);
    const std::wstring exact(1023, L'x');
    EXPECT_EQ(CutToRemoteBuffer(exact), exact);
    EXPECT_EQ(CutToRemoteBuffer(exact + L"y"), exact);
    EXPECT_EQ(ForHost(std::wstring(5000, L'z'), kAppDir, true).size(), 1023u);
    // The cut is made after the directory is removed: the rest still fits.
    const std::wstring long_path = kAppDir + std::wstring(1020, L'a');
    EXPECT_EQ(ForHost(long_path, kAppDir, false), std::wstring(1020, L'a'));
}

TEST(HostText, CutNeverLeavesHalfASurrogatePair) {
    std::wstring text(1022, L'x');
    text += static_cast<wchar_t>(0xD83D);  // a pair across the cut
    text += static_cast<wchar_t>(0xDE00);
    EXPECT_EQ(CutToRemoteBuffer(text), std::wstring(1022, L'x'));
    // A pair that fits whole stays.
    std::wstring fits(1021, L'x');
    fits += static_cast<wchar_t>(0xD83D);
    fits += static_cast<wchar_t>(0xDE00);
    EXPECT_EQ(CutToRemoteBuffer(fits + L"tail"), fits);
}

}  // namespace
}  // namespace nm::host_text
