#include "app/process_list.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/text.h"

namespace nm {
namespace {

std::wstring OwnExecutable() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

TEST(ProcessList, FindsThisProcessWithItsExecutable) {
    const std::vector<DWORD> ids = AllProcessIds();
    ASSERT_FALSE(ids.empty());
    EXPECT_NE(std::find(ids.begin(), ids.end(), ::GetCurrentProcessId()), ids.end());

    const std::vector<RunningProcess> processes = RunningProcesses();
    EXPECT_EQ(processes.size(), ids.size() - 1);  // all but the first
    const auto self = std::find_if(processes.begin(), processes.end(),
                                   [](const RunningProcess& p) { return p.id == ::GetCurrentProcessId(); });
    ASSERT_NE(self, processes.end());
    EXPECT_TRUE(text::EqualsNoCase(self->executable, OwnExecutable())) << self->executable;
}

TEST(ProcessList, ModulesStartWithTheExecutableAndAreComplete) {
    const std::vector<HMODULE> modules = ProcessModules(::GetCurrentProcess());
    ASSERT_FALSE(modules.empty());
    EXPECT_EQ(modules.front(), ::GetModuleHandleW(nullptr));
    EXPECT_NE(std::find(modules.begin(), modules.end(), ::GetModuleHandleW(L"kernel32.dll")), modules.end());
}

TEST(ProcessList, AProcessThatIsGoneHasNoExecutable) {
    // Ids are multiples of 4; one far above any in use names no process.
    EXPECT_EQ(ProcessExecutable(0x7FFFFFF0), L"");
}

}  // namespace
}  // namespace nm
