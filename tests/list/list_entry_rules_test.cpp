// portable: builds without Win32
#include "list/list_entry_rules.h"

#include <gtest/gtest.h>

#include <utility>

#include "base/text.h"
#include <vector>

namespace nm::list_entry {
namespace {

updatefileinfo FileFrom(std::vector<std::pair<std::wstring, std::wstring>> attributes) {
    FileAttributes collected;
    for (const auto& [name, value] : attributes)
        if (collected.Wants(name)) collected.Offer(name, value);
    return std::move(collected).Build();
}

TEST(FileAttributes, EarlierSpellingWinsWhateverTheDocumentOrder) {
    // Document order puts the later spellings first; the table's order decides.
    updatefileinfo e = FileFrom({{L"MD5", L"m"},
                                 {L"Ver", L"v2"},
                                 {L"ver", L"v1"},
                                 {L"name", L"n.dll"},
                                 {L"File", L"f.dll"},
                                 {L"Url", L"u3"},
                                 {L"URL", L"u1"},
                                 {L"DstName", L"d4"},
                                 {L"desname", L"d2"},
                                 {L"ACTIVITY", L"reg"},
                                 {L"do", L"del"}});
    EXPECT_EQ(e.ver, L"v1");
    EXPECT_EQ(e.path, L"f.dll");
    EXPECT_EQ(e.url, L"u1");
    EXPECT_EQ(e.dstname, L"d2");
    EXPECT_EQ(e.flags, kEntryDelete);
}

TEST(FileAttributes, EmptyValueFallsThroughToTheNextSpelling) {
    updatefileinfo e = FileFrom({{L"ver", L""},
                                 {L"md5", L"abc"},
                                 {L"path", L""},
                                 {L"Name", L"x.dll"},
                                 {L"shortcut", L""},
                                 {L"SHORTCUT", L"s.lnk"}});
    EXPECT_EQ(e.ver, L"abc");
    EXPECT_EQ(e.path, L"x.dll");
    EXPECT_EQ(e.shortcut, L"s.lnk");
}

TEST(FileAttributes, EveryAcceptedSpellingFillsItsField) {
    const std::pair<std::wstring, FileField> cases[] = {
        {L"ver", FileField::ver},
        {L"Ver", FileField::ver},
        {L"md5", FileField::ver},
        {L"MD5", FileField::ver},
        {L"oper", FileField::flags},
        {L"Oper", FileField::flags},
        {L"OPER", FileField::flags},
        {L"do", FileField::flags},
        {L"Do", FileField::flags},
        {L"DO", FileField::flags},
        {L"Action", FileField::flags},
        {L"action", FileField::flags},
        {L"ACTION", FileField::flags},
        {L"Activity", FileField::flags},
        {L"activity", FileField::flags},
        {L"ACTIVITY", FileField::flags},
        {L"path", FileField::path},
        {L"Path", FileField::path},
        {L"File", FileField::path},
        {L"file", FileField::path},
        {L"Name", FileField::path},
        {L"name", FileField::path},
        {L"URL", FileField::url},
        {L"url", FileField::url},
        {L"Url", FileField::url},
        {L"shortcut", FileField::shortcut},
        {L"ShortCut", FileField::shortcut},
        {L"SHORTCUT", FileField::shortcut},
        {L"shortcuticon", FileField::shortcuticon},
        {L"shorticon", FileField::shortcuticon},
        {L"ShortCutIcon", FileField::shortcuticon},
        {L"SHORTCUTICON", FileField::shortcuticon},
        {L"SHORTICON", FileField::shortcuticon},
        {L"iconindex", FileField::iconindex},
        {L"ICONINDEX", FileField::iconindex},
        {L"IconIndex", FileField::iconindex},
        {L"shortcuticonindex", FileField::iconindex},
        {L"SHORTCUTICONINDEX", FileField::iconindex},
        {L"DesName", FileField::dstname},
        {L"desname", FileField::dstname},
        {L"dstname", FileField::dstname},
        {L"DstName", FileField::dstname},
        {L"sha256", FileField::sha256},
    };
    for (const auto& [name, field] : cases) EXPECT_EQ(FileAttributeSlot(name).field, field) << name;
    // Spellings outside the table are not read.
    for (const wchar_t* name : {L"PATH", L"VER", L"Md5", L"URl", L"DESNAME", L"Shortcut", L"param", L"", L"SHA256"})
        EXPECT_FALSE(FileAttributeSlot(name).accepted()) << name;
}

TEST(ListSerial, DecimalDigitsAloneElseZero) {
    EXPECT_EQ(ListSerial(L" 17\r\n"), 17u);
    EXPECT_EQ(ListSerial(L"9999999999999999999"), 9999999999999999999u);
    for (const wchar_t* other : {L"", L"-3", L"+3", L"1x", L"1 2", L"0x10", L"10000000000000000000"})
        EXPECT_EQ(ListSerial(other), 0u) << other;
}

TEST(OperFlags, NumberAndWordsCombine) {
    EXPECT_EQ(OperFlags(L"Run"), 1u);
    EXPECT_EQ(OperFlags(L"3"), 3u);
    EXPECT_EQ(OperFlags(L"delete,reg"), 6u);
    EXPECT_EQ(OperFlags(L"x"), 0u);
    EXPECT_EQ(OperFlags(L"exe|del"), 3u);
    EXPECT_EQ(OperFlags(L"1reg"), 5u);
    EXPECT_EQ(OperFlags(L"  8"), 8u);
    EXPECT_EQ(OperFlags(L"REGBOOT"), 12u);
    EXPECT_EQ(OperFlags(L"reg 1"), 4u);  // only a leading number counts
    EXPECT_EQ(OperFlags(L""), 0u);
}

TEST(AddressInPath, MovesToUrlAndLeavesTheFileName) {
    updatefileinfo e = FileFrom({{L"path", L"HTTP://example.com/dir/a.dll"}, {L"url", L"ignored"}});
    EXPECT_EQ(e.url, L"HTTP://example.com/dir/a.dll");
    EXPECT_EQ(e.path, L"a.dll");

    e = FileFrom({{L"path", L"https://h/x\\y\\b.exe"}});
    EXPECT_EQ(e.path, L"b.exe");
    EXPECT_EQ(e.url, L"https://h/x\\y\\b.exe");  // the address itself keeps its form
}

TEST(AddressInPath, PathComesFromTheAddressWhenMissing) {
    EXPECT_EQ(FileFrom({{L"url", L"http://h/dir/"}}).path, L"dir");
    EXPECT_EQ(FileFrom({{L"url", L"http://h/dir/ "}}).path, L"dir");
    EXPECT_EQ(FileFrom({{L"url", L"http://h/a/ b.txt "}}).path, L"b.txt");
    // A path given alongside an address is kept.
    updatefileinfo e = FileFrom({{L"url", L"http://h/a.dll"}, {L"path", L"bin\\a.dll"}});
    EXPECT_EQ(e.path, L"bin\\a.dll");
    EXPECT_EQ(PathFromAddress(L""), L"");
    EXPECT_EQ(PathFromAddress(L"/"), L"");
    EXPECT_EQ(PathFromAddress(L"a.dll"), L"a.dll");
}

TEST(Normalise, FilePathAndVersion) {
    updatefileinfo e;
    e.path = L"  bin|tool.exe._.zip ";
    e.ver = L"  AB12Cd ";
    Normalise(e);
    EXPECT_EQ(e.path, L"bin\\tool.exe");
    EXPECT_EQ(e.ver, L"ab12cd");
}

TEST(Normalise, RunCommandKeepsParametersUnchanged) {
    updatefileinfo e = MakeRunEntry(L" {app}|setup.exe", L"/a|b  ", L" Yes");
    EXPECT_EQ(e.flags, kRunEntryMarker);
    EXPECT_EQ(e.ver, L"999");
    EXPECT_EQ(e.dstname, e.path);
    Normalise(e);
    RunCommand command = SplitRunCommand(e.path);
    EXPECT_EQ(command.program, L"{app}\\setup.exe");
    EXPECT_EQ(command.parameters, L"/a|b  ");
    EXPECT_EQ(command.wait, L" Yes");
}

TEST(Normalise, DescriptionTextIsNotTreatedAsAPath) {
    updatefileinfo e = MakeDescriptionEntry(L"  Fixes A|B in the._.zip reader\n");
    Normalise(e);
    EXPECT_EQ(e.path, L"Fixes A|B in the._.zip reader");
    EXPECT_EQ(e.flags, kDescriptionEntryMarker);
    EXPECT_FALSE(IsFileEntry(e));
}

TEST(RunCommand, SplitsWhatJoinMade) {
    RunCommand c = SplitRunCommand(JoinRunCommand({L"a.exe", L"", L""}));
    EXPECT_EQ(c.program, L"a.exe");
    EXPECT_EQ(c.parameters, L"");
    EXPECT_EQ(c.wait, L"");
    EXPECT_EQ(SplitRunCommand(L"plain.exe").program, L"plain.exe");
}

}  // namespace
}  // namespace nm::list_entry

namespace nm::list_entry {
namespace {

TEST(DuplicateKey, LowersAsciiAndBeyond) {
    updatefileinfo e;
    e.path = L"Bin\\A.DLL";
    EXPECT_EQ(DuplicateKey(e), L"bin\\a.dll");
    e.path = L"\x00C4pfel\\X.txt";  // beyond ASCII: as the text helpers lower it
    EXPECT_EQ(DuplicateKey(e), text::Lower(e.path));
}

}  // namespace
}  // namespace nm::list_entry
