// portable: builds without Win32
#include "base/text_table.h"

#include <gtest/gtest.h>

#include <string>

namespace nm {
namespace {

std::wstring Key(int i) { return L"dir\\file" + std::to_wstring(i) + L".dll"; }

TEST(TextTable, FirstValueWinsAcrossGrowth) {
    TextTable table;
    for (int i = 0; i < 5000; ++i) EXPECT_TRUE(table.Insert(Key(i), std::to_wstring(i)));
    for (int i = 0; i < 5000; i += 7) EXPECT_FALSE(table.Insert(Key(i), L"later"));
    for (int i = 0; i < 5000; ++i) {
        const std::wstring_view* value = table.Find(Key(i));
        ASSERT_NE(value, nullptr) << i;
        EXPECT_EQ(*value, std::to_wstring(i));
    }
    EXPECT_EQ(table.Find(L"dir\\FILE1.dll"), nullptr);  // keys are exact
    EXPECT_EQ(table.size(), 5000u);
}

TEST(TextTable, EmptyAndLongTexts) {
    TextTable table;
    EXPECT_EQ(table.Find(L""), nullptr);  // nothing stored yet
    EXPECT_TRUE(table.Insert(L""));
    EXPECT_FALSE(table.Insert(L"", L"x"));
    ASSERT_NE(table.Find(L""), nullptr);
    EXPECT_EQ(*table.Find(L""), L"");
    const std::wstring long_text(100000, L'k');  // longer than a storage block
    EXPECT_TRUE(table.Insert(long_text, long_text + L"v"));
    EXPECT_TRUE(table.Insert(L"after", L"1"));
    EXPECT_EQ(*table.Find(long_text), long_text + L"v");
    EXPECT_EQ(*table.Find(L"after"), L"1");
}

}  // namespace
}  // namespace nm
