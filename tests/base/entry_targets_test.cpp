// portable: builds without Win32
#include "base/path_macros_rules.h"

#include <gtest/gtest.h>

namespace nm::path_macros {
namespace {

FolderResolver Folders() {
    FolderResolver f;
    f.shell_folder = [](int) { return std::wstring(L"C:\\Desk"); };
    f.windows_directory = [] { return std::wstring(L"C:\\Windows"); };
    f.system_directory = [] { return std::wstring(L"C:\\Windows\\system32"); };
    f.application_directory = [] { return std::wstring(L"C:\\Prog\\"); };
    f.exists = [](const std::wstring&) { return false; };
    return f;
}

using Targets = std::vector<std::wstring>;

TEST(EntryTargets, PathAloneWithoutDestinations) {
    EXPECT_EQ(EntryTargets(L"bin\\a.dll", L"", L"C:\\Prog\\", Folders()), Targets{L"C:\\Prog\\bin\\a.dll"});
    EXPECT_EQ(EntryTargets(L"{sys}\\x.dll", L"", L"C:\\Prog\\", Folders()), Targets{L"C:\\Windows\\system32\\x.dll"});
    // Only separators: no destination, so the path itself.
    EXPECT_EQ(EntryTargets(L"a.dll", L" ; ,| ", L"C:\\Prog\\", Folders()), Targets{L"C:\\Prog\\a.dll"});
}

TEST(EntryTargets, BareNamesReplaceTheFileNamePathsStandAlone) {
    EXPECT_EQ(EntryTargets(L"bin\\a.dll", L"b.dll;{sys}\\a.dll", L"C:\\Prog\\", Folders()),
              (Targets{L"C:\\Prog\\bin\\b.dll", L"C:\\Windows\\system32\\a.dll"}));
    EXPECT_EQ(EntryTargets(L"bin/a.dll", L" c.dll , sub/d.dll|e.dll", L"C:\\Prog\\", Folders()),
              (Targets{L"C:\\Prog\\bin\\c.dll", L"C:\\Prog\\sub\\d.dll", L"C:\\Prog\\bin\\e.dll"}));
}

TEST(EntryTargets, RepeatedTargetsAppearOnce) {
    EXPECT_EQ(EntryTargets(L"a.dll", L"a.dll;a.dll;A.dll", L"C:\\Prog\\", Folders()),
              (Targets{L"C:\\Prog\\a.dll", L"C:\\Prog\\A.dll"}));
}

TEST(EntryTargets, AbsolutePathWithForwardSlashesKeepsItsFolder) {
    EXPECT_EQ(EntryTargets(L"D:/x/y.txt", L"z.txt", L"C:\\Prog\\", Folders()), Targets{L"D:/x/z.txt"});
}

}  // namespace
}  // namespace nm::path_macros
