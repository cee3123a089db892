// portable: builds without Win32
#include "list/pending_list.h"

#include <gtest/gtest.h>

namespace nm::pending_list {
namespace {

DownLoadList Sample() {
    DownLoadList list;
    list.name_table = {{L"alpha", L"1"}, {L"beta", L""}};
    list.run_commands = {L"{app}\\a.exe\x01/s\x01y", L"b.exe"};
    list.description = L"Line one\r\nZeile zwei \x4E2D\x6587";
    list.list_url_base = L"http://h/list";
    list.url_template = L"{listurl-base}/files/{filename}";
    list.temporary_directory = L"C:\\Temp\\nm";
    list.guid = L"{1234}";
    list.update_state = 5;
    updatefileinfo file;
    file.url = L"http://h/a.dll";
    file.path = L"bin\\a.dll";
    file.dstname = L"b.dll;c.dll";
    file.ver = L"1.2";
    file.message = L"try 1";
    file.shortcut = L"A";
    file.shortcuticon = L"a.ico";
    file.iconindex = L"2";
    file.flags = 0x7;
    list.entries = {file, updatefileinfo{}};
    list.entries[1].flags = kDescriptionEntryMarker;
    return list;
}

void ExpectSameEntry(const updatefileinfo& a, const updatefileinfo& b) {
    EXPECT_EQ(a.url, b.url);
    EXPECT_EQ(a.path, b.path);
    EXPECT_EQ(a.dstname, b.dstname);
    EXPECT_EQ(a.ver, b.ver);
    EXPECT_EQ(a.message, b.message);
    EXPECT_EQ(a.shortcut, b.shortcut);
    EXPECT_EQ(a.shortcuticon, b.shortcuticon);
    EXPECT_EQ(a.iconindex, b.iconindex);
    EXPECT_EQ(a.flags, b.flags);
}

TEST(PendingList, RoundTripAppendsEntriesAndRestoresTheRest) {
    const DownLoadList saved = Sample();
    DownLoadList loaded;
    loaded.entries.resize(1);
    loaded.entries[0].path = L"already held";
    ASSERT_TRUE(Parse(Serialise(saved), loaded));
    EXPECT_EQ(loaded.name_table, saved.name_table);
    EXPECT_EQ(loaded.run_commands, saved.run_commands);
    EXPECT_EQ(loaded.description, saved.description);
    EXPECT_EQ(loaded.list_url_base, saved.list_url_base);
    EXPECT_EQ(loaded.url_template, saved.url_template);
    EXPECT_EQ(loaded.temporary_directory, saved.temporary_directory);
    EXPECT_EQ(loaded.guid, saved.guid);
    EXPECT_EQ(loaded.update_state, 5);
    ASSERT_EQ(loaded.entries.size(), 3u);
    EXPECT_EQ(loaded.entries[0].path, L"already held");
    ExpectSameEntry(loaded.entries[1], saved.entries[0]);
    ExpectSameEntry(loaded.entries[2], saved.entries[1]);
}

TEST(PendingList, ExactByteLayout) {
    DownLoadList list;
    list.name_table = {{L"k", L"v"}, {L"", L"dropped"}};
    list.url_template = L"";
    list.update_state = 13;
    updatefileinfo e;
    e.path = L"p";
    e.flags = 0x7E000000;
    list.entries = {e};
    const std::string bytes = Serialise(list);

    std::string expected;
    auto number = [&](unsigned v) {
        for (int i = 0; i < 4; ++i) expected.push_back(char((v >> (8 * i)) & 0xFF));
    };
    auto text = [&](std::wstring_view t) {
        number(static_cast<unsigned>(t.size()));
        for (wchar_t c : t) {
            expected.push_back(char(c & 0xFF));
            expected.push_back(char((c >> 8) & 0xFF));
        }
    };
    text(L"k");
    text(L"v");
    text(L"!-end------");
    number(0);                              // run commands
    for (int i = 0; i < 5; ++i) text(L"");  // description ... guid
    number(13);                             // state
    number(1);                              // entry count
    text(L"");
    text(L"p");
    for (int i = 0; i < 6; ++i) text(L"");
    number(0x7E000000);
    EXPECT_EQ(bytes, expected);
}

TEST(PendingList, DamagedInputFailsAndChangesNothing) {
    const std::string good = Serialise(Sample());
    // Every truncation fails cleanly (the layout has no optional tail).
    for (size_t cut = 0; cut < good.size(); ++cut) {
        DownLoadList list;
        list.guid = L"untouched";
        EXPECT_FALSE(Parse(std::string_view(good).substr(0, cut), list)) << cut;
        EXPECT_EQ(list.guid, L"untouched");
        EXPECT_TRUE(list.entries.empty());
    }
    // Huge counts are refused before anything is allocated.
    DownLoadList list;
    EXPECT_FALSE(Parse(std::string("\xFF\xFF\xFF\x7F", 4), list));
    std::string huge_entries = Serialise(DownLoadList{});
    huge_entries.resize(huge_entries.size() - 4);
    huge_entries += std::string("\xFF\xFF\xFF\xFF", 4);
    EXPECT_FALSE(Parse(huge_entries, list));
    // A state outside the known range is damage.
    DownLoadList odd;
    odd.update_state = 14;
    EXPECT_FALSE(Parse(Serialise(odd), list));
    // Garbage of every byte value.
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 7919) & 0xFF));
    EXPECT_FALSE(Parse(garbage, list));
    EXPECT_TRUE(list.entries.empty());
}

TEST(PendingList, EndKeyInTheTableDoesNotCutTheFileShort) {
    DownLoadList list = Sample();
    list.name_table[L"!-end------"] = L"would end the table early";
    DownLoadList loaded;
    ASSERT_TRUE(Parse(Serialise(list), loaded));
    EXPECT_EQ(loaded.entries.size(), 2u);
    EXPECT_EQ(loaded.guid, L"{1234}");
}

}  // namespace
}  // namespace nm::pending_list
