#include "app/steps/check_step.h"

#include <memory>
#include <string>
#include <vector>

#include "app/steps/poll_budget.h"
#include "app/update_app.h"
#include "base/code_page.h"
#include "base/threads.h"
#include "download/http_session.h"
#include "list/version_page.h"
#include "services/log.h"
#include "services/update_state.h"

namespace nm {

namespace {
// Shared with the probe thread under its numbered lock. The thread may
// outlive a spent poll budget: it then finds the check gone and leaves
// everything as it is, so nothing it learns late reaches the list, the
// update state or the exit code.
struct VersionProbe {
    int state = kFetchRunning;
    bool abandoned = false;
    std::wstring version;
    std::vector<std::wstring> mirrors;
};

// Touches nothing of the process but the probe (and the update state, while
// the check still waits for it).
void RunVersionProbe(const std::shared_ptr<VersionProbe>& probe, const std::wstring& address) {
    std::vector<char> body;
    if (!FetchToMemory(address, body)) {
        ScopedLock guard(ProcessLock::VersionProbe);
        if (probe->abandoned) return;
        SetUpdateState(UpdateCheckRemoteError, nullptr);
        probe->state = kFetchFailed;
        return;
    }
    std::wstring joined;
    for (const std::string& line : VersionPageLines(std::string_view(body.data(), body.size()))) joined += code_page::Decode(line);
    const VersionPage page = ParseVersionPage(joined);
    ScopedLock guard(ProcessLock::VersionProbe);
    probe->version = page.version;
    probe->mirrors = page.mirrors;
    probe->state = kFetchSucceeded;
}

void CheckVersionNumber() {
    CUpdateApp& app = theApp();
    const std::wstring address = ExpandListParameters(app.settings.Read(L"UPDATEINFO", L"ListURL"));
    WriteLog(L"download:" + address);
    auto probe = std::make_shared<VersionProbe>();
    const bool started = StartDetached([probe, address] { RunVersionProbe(probe, address); });
    const long budget = app.settings.ReadInteger(L"Novamend", L"TimeOut", L"60");
    bool succeeded = false;
    if (started)
        PollWithBudget(budget, ProcessLock::VersionProbe, [&] {
            succeeded = probe->state == kFetchSucceeded;
            return probe->state != kFetchRunning;
        });
    {
        ScopedLock guard(ProcessLock::VersionProbe);
        probe->abandoned = true;
        succeeded = probe->state == kFetchSucceeded;
        if (succeeded) {
            app.list.remote_version = probe->version;
            app.list.mirror_addresses = probe->mirrors;
        }
    }
    SetUpdateState(succeeded && !app.list.remote_version.empty() ? UpdateCheckRemoteOk : UpdateCheckRemoteError,
                   nullptr);
}

}  // namespace

bool CheckByVersion(HWND window) {
    CUpdateApp& app = theApp();
    app.list.remote_version.clear();
    app.list.mirror_addresses.clear();
    if (!app.settings.ReadSwitch(L"APPLICATION", L"CheckVerNumber", L"0"))
        CheckWrapper(window, nullptr);
    else
        CheckVersionNumber();
    return false;
}

}  // namespace nm
