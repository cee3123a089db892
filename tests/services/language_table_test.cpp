// portable: builds without Win32
#include "services/language_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "base/text.h"

namespace nm {
namespace {

// A table filled from the lines of one file.
struct TableOf : LanguageTable {
    explicit TableOf(const std::vector<std::wstring>& lines) { Add(ParseLanguageLines(lines)); }
};

TEST(LanguageLines, SplitAtLineFeedZeroByteAndDropLineEnds) {
    const char raw[] = "[MAIN]\r\nA=1\nB=2\r\r\n\nC=3\0D=4";
    const std::string bytes(raw, sizeof raw - 1);
    EXPECT_EQ(SplitLanguageLines(bytes), (std::vector<std::string>{"[MAIN]", "A=1", "B=2", "", "C=3", "D=4"}));
    EXPECT_TRUE(SplitLanguageLines("").empty());
}

TEST(LanguageLines, LongLineContinuesAsNextLine) {
    // 1024 bytes are taken at once; the rest of the line is a line of its own.
    const std::string head = "Key=" + std::string(kLanguageLineBytes - 4, 'x');
    const auto lines = SplitLanguageLines(head + "Tail=t\r\nNext=n\r\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], head);
    EXPECT_EQ(lines[1], "Tail=t");
    EXPECT_EQ(lines[2], "Next=n");

    TableOf table({L"[MAIN]", text::FromUtf8(lines[0]), text::FromUtf8(lines[1])});
    EXPECT_EQ(table.Translate(L"MAIN", L"Tail"), L"t");
    EXPECT_EQ(table.Translate(L"MAIN", L"Key").size(), kLanguageLineBytes - 4);
}

TEST(LanguageLines, ExactlyFullLineLeavesOnlyAnEmptyRest) {
    const std::string full = "K=" + std::string(kLanguageLineBytes - 2, 'y');
    EXPECT_EQ(SplitLanguageLines(full + "\r\nB=2"), (std::vector<std::string>{full, "", "B=2"}));
}

TEST(LanguageRules, CommentsShortLinesAndLinesBeforeAnySection) {
    TableOf table({
        L"Early=before any section", L"[MAIN]", L";Semi=x", L"'Quote=x", L"//Slash=x", L"\\\\Back=x", L"/One=kept",
        L"\\One=kept too",
        L"A=b",   // three characters: too short
        L"AB=c",  // four: a definition
    });
    EXPECT_EQ(table.Translate(L"MAIN", L"Early"), L"Early");
    for (const wchar_t* key : {L";Semi", L"'Quote", L"//Slash", L"\\\\Back", L"A"})
        EXPECT_EQ(table.Translate(L"MAIN", key), key) << key;
    EXPECT_EQ(table.Translate(L"MAIN", L"/One"), L"kept");
    EXPECT_EQ(table.Translate(L"MAIN", L"\\One"), L"kept too");
    EXPECT_EQ(table.Translate(L"MAIN", L"AB"), L"c");
}

TEST(LanguageRules, SectionHeaders) {
    TableOf table(
        {L"[X]", L"Key=in no section", L"[AB]", L"Key=ab", L"[MAIN]", L"Key=main", L"[AB]", L"Other=ab again"});
    // "[X]" is too short to be a header, so its line leaves the section as it was.
    EXPECT_EQ(table.Translate(L"X", L"Key"), L"Key");
    EXPECT_EQ(table.Translate(L"AB", L"Key"), L"ab");
    EXPECT_EQ(table.Translate(L"AB", L"Other"), L"ab again");
    EXPECT_EQ(table.Translate(L"MAIN", L"Key"), L"main");
    // Sections and keys are compared exactly.
    EXPECT_EQ(table.Translate(L"main", L"Key"), L"Key");
    EXPECT_EQ(table.Translate(L"MAIN", L"key"), L"key");
}

TEST(LanguageRules, WhiteSpaceEqualsAndEscapes) {
    TableOf table({
        L"[MAIN]  \t",
        L"  Lead=kept with its spaces   \t ",
        L"Sum=a=b",
        L"No equals sign here",
        L"Line\\none\\ttab=Zeile\\neins\\tTab",
        L"Empty=",
    });
    EXPECT_EQ(table.Translate(L"MAIN", L"  Lead"), L"kept with its spaces");
    EXPECT_EQ(table.Translate(L"MAIN", L"Lead"), L"Lead");
    EXPECT_EQ(table.Translate(L"MAIN", L"Sum"), L"a=b");
    EXPECT_EQ(table.Translate(L"MAIN", L"No equals sign here"), L"No equals sign here");
    // The program's text holds a real line feed and tab.
    EXPECT_EQ(table.Translate(L"MAIN", L"Line\none\ttab"), L"Zeile\neins\tTab");
    // An empty translation counts as none.
    EXPECT_EQ(table.Translate(L"MAIN", L"Empty"), L"Empty");
    EXPECT_EQ(table.Translate(L"NONE", L"Sum"), L"Sum");
}

TEST(LanguageRules, LaterDefinitionsWinAcrossLinesAndFiles) {
    LanguageTable table;
    table.Add(ParseLanguageLines({L"[MAIN]", L"One=1", L"Two=2", L"One=uno", L"Gone=here"}));
    EXPECT_EQ(table.Translate(L"MAIN", L"One"), L"uno");
    // A second file starts outside any section and replaces single keys only.
    table.Add(ParseLanguageLines({L"Two=ignored", L"[MAIN]", L"Two=dos", L"Gone="}));
    EXPECT_EQ(table.Translate(L"MAIN", L"One"), L"uno");
    EXPECT_EQ(table.Translate(L"MAIN", L"Two"), L"dos");
    EXPECT_EQ(table.Translate(L"MAIN", L"Gone"), L"Gone");
}

TEST(LanguageTable, ReadersWhileLoading) {
    LanguageTable table;
    table.Add(ParseLanguageLines({L"[MAIN]", L"Key=first"}));
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i)
        readers.emplace_back([&] {
            while (!stop) {
                const std::wstring t = table.Translate(L"MAIN", L"Key");
                if (t != L"first" && t != L"second") ++bad;
            }
        });
    for (int i = 0; i < 200; ++i)
        table.Add(
            ParseLanguageLines({L"[MAIN]", i % 2 ? L"Key=first" : L"Key=second", L"K" + std::to_wstring(i) + L"=v"}));
    stop = true;
    for (auto& reader : readers) reader.join();
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(table.Translate(L"MAIN", L"K199"), L"v");
}

// The built-in tables as kept in the sources, and the vendors' sample.
std::string SourceFile(const std::string& relative) {
    std::string root = __FILE__;
    root = root.substr(0, root.rfind("tests"));
#ifdef _WIN32
    // Under Wine the sources are on the drive that maps the Unix root.
    if (root.starts_with("/")) root = "Z:" + root;
#endif
    std::ifstream in(root + relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<LanguageEntry> SourceEntries(const std::string& relative) {
    std::string bytes = SourceFile(relative);
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
    std::vector<std::wstring> lines;
    for (const std::string& line : SplitLanguageLines(bytes)) lines.push_back(text::FromUtf8(line));
    return ParseLanguageLines(lines);
}

std::vector<std::string> Placeholders(const std::wstring& s) {
    std::vector<std::string> found;
    const std::string utf8 = text::ToUtf8(s);
    static const std::regex placeholder("%%|%l?[dsu]");
    for (std::sregex_iterator it(utf8.begin(), utf8.end(), placeholder), end; it != end; ++it)
        found.push_back(it->str());
    return found;
}

class BuiltInTable : public testing::TestWithParam<const char*> {};

TEST_P(BuiltInTable, EveryTranslationKeepsWhatTheProgramFillsIn) {
    const auto entries = SourceEntries(GetParam());
    ASSERT_GT(entries.size(), 80u);
    for (const LanguageEntry& e : entries) {
        SCOPED_TRACE(text::ToUtf8(e.section + L"/" + e.key));
        EXPECT_FALSE(e.text.empty());
        EXPECT_NE(e.text, e.key);
        EXPECT_EQ(Placeholders(e.key), Placeholders(e.text));
        // Replaced after translating: the file name and the version numbers.
        for (const wchar_t* kept : {L"novamend.ini", L"1.0", L"2.0"}) {
            if (text::Contains(e.key, kept)) {
                EXPECT_TRUE(text::Contains(e.text, kept)) << text::ToUtf8(kept);
            }
        }
        EXPECT_EQ(std::count(e.key.begin(), e.key.end(), L'\n'), std::count(e.text.begin(), e.text.end(), L'\n'));
    }
}

TEST_P(BuiltInTable, HasEveryKeyOfTheSampleInTheSameSections) {
    auto keys = [](const std::vector<LanguageEntry>& entries) {
        std::set<std::wstring> set;
        for (const auto& e : entries) set.insert(e.section + L"/" + e.key);
        return set;
    };
    const auto sample = keys(SourceEntries("docs/novamend-sample.lan"));
    ASSERT_FALSE(sample.empty());
    EXPECT_EQ(keys(SourceEntries(GetParam())), sample);
}

INSTANTIATE_TEST_SUITE_P(Sources, BuiltInTable,
                         testing::Values("src/res/lang/novamendcn.lan", "src/res/lang/novamendbig.lan"));

TEST(BuiltInTable, NamesItsOwnFile) {
    LanguageTable cn, big;
    cn.Add(SourceEntries("src/res/lang/novamendcn.lan"));
    big.Add(SourceEntries("src/res/lang/novamendbig.lan"));
    EXPECT_EQ(cn.Translate(L"MAIN", L"novamend.lan"), L"novamendcn.lan");
    EXPECT_EQ(big.Translate(L"MAIN", L"novamend.lan"), L"novamendbig.lan");
}

}  // namespace
}  // namespace nm
