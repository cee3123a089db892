#include "list/download_list.h"

#include <gtest/gtest.h>

#include "scratch_directory.h"

namespace nm {
namespace {

DownLoadList Pending() {
    DownLoadList list;
    list.name_table[L"__down|C:\\t\\x"] = L"http://h/list.xml";
    list.run_commands = {L"{app}\\post.exe"};
    list.description = L"Notes";
    list.list_url_base = L"http://h";
    list.guid = L"{G}";
    list.update_state = 7;
    for (int i = 0; i < 3; ++i) {
        updatefileinfo e;
        e.path = L"bin\\f" + std::to_wstring(i) + L".dll";
        e.ver = L"v" + std::to_wstring(i);
        e.flags = static_cast<std::uint32_t>(i);
        list.entries.push_back(e);
    }
    return list;
}

TEST(DownLoadListFile, SavedListComesBackAfterARestart) {
    ScratchDirectory folder;
    const std::wstring file = folder.File(L"pending.lst");
    ASSERT_TRUE(Pending().SaveTo(file));
    DownLoadList restored;
    ASSERT_TRUE(restored.LoadFrom(file));
    EXPECT_EQ(restored.FileCount(), 3);
    EXPECT_EQ(restored.entries[2].path, L"bin\\f2.dll");
    EXPECT_EQ(restored.entries[2].flags, 2u);
    EXPECT_EQ(restored.update_state, 7);
    EXPECT_EQ(restored.guid, L"{G}");
    EXPECT_EQ(restored.run_commands, Pending().run_commands);
    EXPECT_EQ(restored.name_table, Pending().name_table);
}

TEST(DownLoadListFile, MissingTruncatedOrForeignFilesFailCleanly) {
    ScratchDirectory folder;
    DownLoadList list;
    EXPECT_FALSE(list.LoadFrom(folder.File(L"absent.lst")));
    EXPECT_FALSE(list.LoadFrom(folder.path()));  // a folder

    const std::wstring whole = folder.File(L"whole.lst");
    ASSERT_TRUE(Pending().SaveTo(whole));
    const std::string bytes = ReadFileBytes(whole);
    for (size_t cut : {size_t{0}, size_t{3}, bytes.size() / 2, bytes.size() - 1})
        EXPECT_FALSE(list.LoadFrom(folder.Write(L"cut.lst", bytes.substr(0, cut)))) << cut;
    EXPECT_FALSE(list.LoadFrom(folder.Write(L"text.lst", "[UPDATEINFO]\r\nListURL=http://h/list.xml\r\n")));
    // A first count claiming two gigabytes of text in a tiny file.
    EXPECT_FALSE(list.LoadFrom(folder.Write(L"huge.lst", std::string("\xFF\xFF\xFF\x7F"
                                                                     "abcd",
                                                                     8))));
    EXPECT_TRUE(list.entries.empty());
    EXPECT_EQ(list.update_state, 0);
}

TEST(DownLoadListFile, SaveToAnUnwritablePlaceFails) {
    ScratchDirectory folder;
    EXPECT_FALSE(Pending().SaveTo(folder.File(L"no such folder\\pending.lst")));
}

TEST(DownLoadList, StoresTheListUrlBase) {
    DownLoadList list;
    EXPECT_EQ(list.StoreListUrlBase(L"http://example.com/app/list.xml"), L"http://example.com/app");
    EXPECT_EQ(list.list_url_base, L"http://example.com/app");
    EXPECT_EQ(list.url_template, L"{listurl-base}/{filename}");
}

}  // namespace
}  // namespace nm
