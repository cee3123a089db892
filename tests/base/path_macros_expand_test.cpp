// portable: builds without Win32
#include "base/path_macros_rules.h"

#include <gtest/gtest.h>

#include <map>

namespace nm::path_macros {
namespace {

FolderResolver FakeMachine(bool has_syswow64) {
    FolderResolver folders;
    folders.shell_folder = [](int csidl) -> std::wstring {
        static const std::map<int, std::wstring> known = {
            {0x10, L"C:\\Users\\u\\Desktop"}, {0x26, L"C:\\Program Files"}, {0x17, L"C:\\All\\Programs"}};
        auto it = known.find(csidl);
        return it == known.end() ? L"" : it->second;
    };
    folders.windows_directory = [] { return std::wstring(L"C:\\Windows"); };
    folders.system_directory = [] { return std::wstring(L"C:\\Windows\\system32"); };
    folders.application_directory = [] { return std::wstring(L"C:\\Prog\\"); };
    folders.exists = [has_syswow64](const std::wstring& p) { return has_syswow64 && p == L"C:\\Windows\\SysWOW64"; };
    return folders;
}

TEST(ExpandPathMacros, FolderMacrosThenOneDirectoryMacro) {
    const auto machine = FakeMachine(true);
    EXPECT_EQ(Expand(L"{app}\\bin\\a.dll", machine), L"C:\\Prog\\bin\\a.dll");
    EXPECT_EQ(Expand(L"{sys}\\x.dll;{app}\\y.dll", machine), L"C:\\Windows\\system32\\x.dll;{app}\\y.dll");
    EXPECT_EQ(Expand(L"{desktop}\\{app}", machine), L"C:\\Users\\u\\Desktop\\C:\\Prog\\");
    EXPECT_EQ(Expand(L"{startupprograms}\\x", machine), L"C:\\All\\Programs\\x");
    EXPECT_EQ(Expand(L"{App}\\x", machine), L"{App}\\x");
    EXPECT_EQ(Expand(L"{startmenu}x", machine), L"x");  // the shell has no such folder here
    EXPECT_EQ(Expand(L"{syswow64}\\a", machine), L"C:\\Windows\\SysWOW64\\a");
    EXPECT_EQ(Expand(L"{syswow64}\\a", FakeMachine(false)), L"C:\\Windows\\system32\\a");
    // Separators are only collapsed when something was expanded.
    EXPECT_EQ(Expand(L"a\\\\b", machine), L"a\\\\b");
}

TEST(MakeLocalPath, RelativeUnderTheBaseAbsoluteUnchanged) {
    const auto machine = FakeMachine(false);
    EXPECT_EQ(MakeLocal(L"C:\\Temp", L"sub/dir//a.txt", machine), L"C:\\Temp\\sub\\dir\\a.txt");
    EXPECT_EQ(MakeLocal(L"C:\\Temp", L"D:/x/y.txt", machine), L"D:/x/y.txt");
    EXPECT_EQ(MakeLocal(L"C:\\Temp", L"{app}bin\\a.dll", machine), L"C:\\Prog\\bin\\a.dll");
}

TEST(ExpandListParameters, EachMacroFromItsSettingAndEmptyRemoves) {
    std::map<std::wstring, std::wstring> settings = {
        {L"Parameter", L""}, {L"Parameter1", L"one"}, {L"Parameter2", L"two"}};
    auto read = [&](const std::wstring& key) { return settings[key]; };
    EXPECT_EQ(ExpandParameters(L"http://h/l.xml?a=[param1]&b={param2}&c={param}", read),
              L"http://h/l.xml?a=one&b=two&c=");
    EXPECT_EQ(ExpandParameters(L"http://h/l.xml", read), L"http://h/l.xml");
}

}  // namespace
}  // namespace nm::path_macros
