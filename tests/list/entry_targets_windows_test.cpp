#include <windows.h>

#include <gtest/gtest.h>

#include "list/entry_targets.h"

namespace nm {
namespace {

TEST(EntryTargetsOnThisSystem, ApplicationAndSystemFolders) {
    const std::wstring application_directory = L"C:\\Prog\\";
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    updatefileinfo entry;
    entry.path = L"bin\\a.dll";
    entry.dstname = L"b.dll;{sys}\\a.dll";
    EXPECT_EQ(EntryTargets(entry, application_directory),
              (std::vector<std::wstring>{L"C:\\Prog\\bin\\b.dll", std::wstring(system) + L"\\a.dll"}));
    entry.dstname.clear();
    EXPECT_EQ(EntryTargets(entry, application_directory), std::vector<std::wstring>{L"C:\\Prog\\bin\\a.dll"});
}

}  // namespace
}  // namespace nm
