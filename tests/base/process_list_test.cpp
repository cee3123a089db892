#include "base/process_list.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/text.h"
#include "child_process.h"

namespace nm {
namespace {

TEST(ProcessList, FindsThisProcessWithItsExecutable) {
    // Other tests start and end processes meanwhile: compare against a list
    // taken while nothing changed.
    std::vector<DWORD> ids;
    std::vector<RunningProcess> processes;
    for (int attempt = 0; attempt < 50; ++attempt) {
        ids = AllProcessIds();
        processes = RunningProcesses();
        if (AllProcessIds() == ids) break;
    }
    ASSERT_FALSE(ids.empty());
    EXPECT_NE(std::find(ids.begin(), ids.end(), ::GetCurrentProcessId()), ids.end());

    std::vector<DWORD> listed;
    for (const RunningProcess& process : processes) listed.push_back(process.id);
    std::vector<DWORD> expected;
    for (DWORD id : ids)
        if (id != kIdleProcessId) expected.push_back(id);
    EXPECT_EQ(listed, expected);
    const auto self = std::find_if(processes.begin(), processes.end(),
                                   [](const RunningProcess& p) { return p.id == ::GetCurrentProcessId(); });
    ASSERT_NE(self, processes.end());
    EXPECT_TRUE(text::EqualsNoCase(self->executable, TestProgramPath(L"base_tests.exe"))) << self->executable;
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
