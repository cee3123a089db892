#include "services/language.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "base/text.h"
#include "base/unique_handle.h"
#include "child_process.h"
#include "scratch_directory.h"

namespace nm {
namespace {

// Files written by this program's tests, removed when it ends.
const ScratchDirectory scratch(L"language");

std::string SourceFile(const std::string& relative) {
    std::ifstream in(std::string("Z:") + NOVAMEND_SOURCE_DIR + "/" + relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(LanguageFile, MissingFileLeavesTheTableAsItWas) {
    CLanguage language;
    EXPECT_FALSE(language.LoadFile(scratch.File(L"does-not-exist.lan")));
    EXPECT_EQ(language.Translate(L"MAIN", L"Exit"), L"Exit");

    ASSERT_TRUE(language.LoadFile(scratch.Write(L"first.lan", "[MAIN]\r\nExit=Quitter\r\n")));
    EXPECT_FALSE(language.LoadFile(scratch.File(L"does-not-exist.lan")));
    EXPECT_EQ(language.Translate(L"MAIN", L"Exit"), L"Quitter");
}

TEST(LanguageFile, SecondFileOverridesSingleKeys) {
    CLanguage language;
    ASSERT_TRUE(language.LoadFile(scratch.Write(L"a.lan", "[MAIN]\r\nExit=Quitter\r\nCancel=Annuler\r\n")));
    ASSERT_TRUE(language.LoadFile(scratch.Write(L"b.lan", "[MAIN]\nExit=Sortir\n")));
    EXPECT_EQ(language.Translate(L"MAIN", L"Exit"), L"Sortir");
    EXPECT_EQ(language.Translate(L"MAIN", L"Cancel"), L"Annuler");
}

TEST(LanguageFile, ByteOrderMarkMeansUtf8) {
    const std::string body =
        "[MAIN]\r\nFound %d files need to update...=\xE5\x8F\x91\xE7\x8E\xB0 %d "
        "\xE4\xB8\xAA\xE6\x96\x87\xE4\xBB\xB6\xE9\x9C\x80\xE8\xA6\x81\xE6\x9B\xB4\xE6\x96\xB0...\r\n";
    CLanguage language;
    ASSERT_TRUE(language.LoadFile(scratch.Write(L"utf8.lan", "\xEF\xBB\xBF" + body)));
    EXPECT_EQ(language.Translate(L"MAIN", L"Found %d files need to update..."),
              L"\u53d1\u73b0 %d \u4e2a\u6587\u4ef6\u9700\u8981\u66f4\u65b0...");

    // The same bytes without the mark are read in the ANSI code page.
    if (::GetACP() != CP_UTF8) {
        CLanguage ansi;
        ASSERT_TRUE(ansi.LoadFile(scratch.Write(L"nomark.lan", body)));
        EXPECT_NE(ansi.Translate(L"MAIN", L"Found %d files need to update..."),
                  language.Translate(L"MAIN", L"Found %d files need to update..."));
    }
}

TEST(LanguageFile, WithoutMarkReadsTheThreadsAnsiCodePage) {
    const std::wstring path = scratch.Write(L"ansi.lan", "[MAIN]\r\nExit=\xC2\xFB\xF5\xEE\xE4\r\n");
    const LCID before = ::GetThreadLocale();
    // Russian: code page 1251, where these bytes spell "Выход".
    ASSERT_TRUE(::SetThreadLocale(MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), SORT_DEFAULT)));
    CLanguage language;
    const bool loaded = language.LoadFile(path);
    ::SetThreadLocale(before);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(language.Translate(L"MAIN", L"Exit"), L"\u0412\u044b\u0445\u043e\u0434");
}

// The tables built into novamend.exe decode with their own code pages, so
// they read right on a system whose ANSI code page is neither of them.
class BuiltInTables : public testing::TestWithParam<std::pair<int, const char*>> {};

TEST_P(BuiltInTables, DecodeToTheirSourcesWhateverTheAnsiCodePage) {
    ASSERT_NE(::GetACP(), 936u);
    ASSERT_NE(::GetACP(), 950u);
    const auto [id, source] = GetParam();
    unique_hmodule program(::LoadLibraryExW(TestProgramPath(L"novamend.exe").c_str(), nullptr,
                                            LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(program);
    CLanguage language;
    ASSERT_TRUE(language.LoadResource(id, program.get()));

    std::string bytes = SourceFile(source);
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
    std::vector<std::wstring> lines;
    for (const std::string& line : SplitLanguageLines(bytes)) lines.push_back(text::FromUtf8(line));
    const auto entries = ParseLanguageLines(lines);
    ASSERT_GT(entries.size(), 80u);
    for (const LanguageEntry& e : entries)
        EXPECT_EQ(language.Translate(e.section, e.key), e.text) << text::ToUtf8(e.key);
}

INSTANTIATE_TEST_SUITE_P(Program, BuiltInTables,
                         testing::Values(std::pair{154, "src/res/lang/novamendcn.lan"},
                                         std::pair{153, "src/res/lang/novamendbig.lan"}));

TEST(BuiltInTablesLookup, MissingResourceIsReportedAndChangesNothing) {
    CLanguage language;
    // The test program carries no tables of its own.
    EXPECT_FALSE(language.LoadResource(154));
    unique_hmodule program(::LoadLibraryExW(TestProgramPath(L"novamend.exe").c_str(), nullptr,
                                            LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(program);
    EXPECT_FALSE(language.LoadResource(155, program.get()));
    EXPECT_EQ(language.Translate(L"MAIN", L"Novamend"), L"Novamend");
}

TEST(TranslateDialog, CaptionAndDirectChildrenInTheirSection) {
    CLanguage language;
    language.LoadText(
        "[MAIN]\r\nNovamend=Mise a jour\r\nExit=Quitter\r\nCancel=Annuler\r\n"
        "Inner=Interne\r\n[TRYICON]\r\nUpdate=Maj\r\n",
        CP_ACP);
    HWND dialog = ::CreateWindowExW(0, L"STATIC", L"Novamend", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                    nullptr, nullptr);
    ASSERT_TRUE(dialog);
    HWND exit = ::CreateWindowExW(0, L"BUTTON", L"Exit", WS_CHILD, 0, 0, 50, 20, dialog, nullptr, nullptr, nullptr);
    HWND update = ::CreateWindowExW(0, L"STATIC", L"Update", WS_CHILD, 0, 0, 50, 20, dialog, nullptr, nullptr, nullptr);
    HWND group = ::CreateWindowExW(0, L"STATIC", L"Cancel", WS_CHILD, 0, 0, 50, 20, dialog, nullptr, nullptr, nullptr);
    HWND inner = ::CreateWindowExW(0, L"STATIC", L"Inner", WS_CHILD, 0, 0, 50, 20, group, nullptr, nullptr, nullptr);

    language.TranslateDialog(dialog, L"MAIN");
    auto text = [](HWND w) {
        wchar_t buffer[64] = {};
        ::GetWindowTextW(w, buffer, 64);
        return std::wstring(buffer);
    };
    EXPECT_EQ(text(dialog), L"Mise a jour");
    EXPECT_EQ(text(exit), L"Quitter");
    EXPECT_EQ(text(group), L"Annuler");
    EXPECT_EQ(text(update), L"Update");  // only in another section
    EXPECT_EQ(text(inner), L"Inner");    // not a direct child
    ::DestroyWindow(dialog);
}

}  // namespace
}  // namespace nm
