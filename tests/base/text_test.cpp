// portable: builds without Win32
#include "base/text.h"

#include <gtest/gtest.h>

namespace nm::text {
namespace {

TEST(Text, ToLongFollowsTheCLibrary) {
    EXPECT_EQ(ToLong(L"  42abc"), 42);
    EXPECT_EQ(ToLong(L"-7"), -7);
    EXPECT_EQ(ToLong(L"abc"), 0);
    EXPECT_EQ(ToLong(L""), 0);
    EXPECT_EQ(ToLong(L"99999999999999999999"), 2147483647);
    EXPECT_EQ(ToLong(L"-99999999999999999999"), -2147483647 - 1);
}

TEST(Text, CollapseIsOnePassAndSplitKeepsEmptyPieces) {
    EXPECT_EQ(CollapseSeparators(L"a\\\\b\\\\\\\\c"), L"a\\b\\\\c");
    EXPECT_EQ(Split(L",a,,b,", L','), (std::vector<std::wstring>{L"", L"a", L"", L"b", L""}));
    EXPECT_EQ(ReplaceAll(L"aaa", L"aa", L"b"), L"ba");
}

TEST(Text, FormatTakesOnlyKnownPlaceholders) {
    EXPECT_EQ(Format(L"Found %d files need to update...", {L"3"}), L"Found 3 files need to update...");
    EXPECT_EQ(Format(L"%s and %ld, 100%%", {L"a", L"7"}), L"a and 7, 100%");
    // A translation with more placeholders than arguments, or odd ones, is harmless.
    EXPECT_EQ(Format(L"%s %s %n %x", {L"a"}), L"a %s %n %x");
    EXPECT_EQ(Format(L"%", {}), L"%");
}

TEST(Text, Utf8RoundTripAndBadInput) {
    const std::wstring s = L"a\x00E9\x4E2D";
    EXPECT_EQ(ToUtf8(s), "a\xC3\xA9\xE4\xB8\xAD");
    EXPECT_EQ(FromUtf8(ToUtf8(s)), s);
    EXPECT_EQ(FromUtf8("\xE4\xB8"), L"\xFFFD\xFFFD");
    EXPECT_EQ(FromUtf8("\xFF"
                       "a"),
              L"\xFFFD"
              L"a");
}

TEST(Text, ExcerptCutsAtLinesAndWordsAndSaysSo) {
    EXPECT_EQ(text::Excerpt(L"Faster start.\r\nFixes a crash.  \r\n\r\n", 100, 5), L"Faster start.\r\nFixes a crash.");
    EXPECT_EQ(text::Excerpt(L"one\r\ntwo\r\nthree", 100, 2), L"one\r\ntwo\u2026");
    EXPECT_EQ(text::Excerpt(L"a much longer sentence here", 12, 5), L"a much\u2026");
    EXPECT_EQ(text::Excerpt(L"unbrokenwordwithoutblanks", 10, 5), L"unbrokenwo\u2026");
    EXPECT_EQ(text::Excerpt(L"", 10, 5), L"");
}

}  // namespace
}  // namespace nm::text
