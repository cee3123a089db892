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
// outlive a spent poll budget, so the state is kept alive by it.
struct VersionProbe {
    int state = kFetchRunning;
};

void RunVersionProbe(const std::shared_ptr<VersionProbe>& probe) {
    CUpdateApp& app = theApp();
    const std::wstring address = ExpandListParameters(app.settings.Read(L"UPDATEINFO", L"ListURL"));
    WriteLog(L"download:" + address);
    std::vector<char> body;
    if (!FetchToMemory(address, body)) {
        SetUpdateState(UpdateCheckRemoteError, nullptr);
        ScopedLock guard(NamedLock::VersionProbe);
        probe->state = kFetchFailed;
        return;
    }
    std::wstring joined;
    for (const std::string& line : VersionPageLines(std::string_view(body.data(), body.size()))) joined += code_page::Decode(line);
    const VersionPage page = ParseVersionPage(joined);
    ScopedLock guard(NamedLock::VersionProbe);
    app.list.remote_version = page.version;
    app.list.mirror_addresses = page.mirrors;
    probe->state = kFetchSucceeded;
}

void CheckVersionNumber() {
    auto probe = std::make_shared<VersionProbe>();
    const bool started = StartDetached([probe] { RunVersionProbe(probe); });
    const long budget = theApp().settings.ReadInteger(L"Novamend", L"TimeOut", L"60");
    bool succeeded = false;
    if (started)
        PollWithBudget(budget, NamedLock::VersionProbe, [&] {
            succeeded = probe->state == kFetchSucceeded;
            return probe->state != kFetchRunning;
        });
    bool has_version;
    {
        ScopedLock guard(NamedLock::VersionProbe);
        has_version = !theApp().list.remote_version.empty();
    }
    SetUpdateState(succeeded && has_version ? UpdateCheckRemoteOk : UpdateCheckRemoteError, nullptr);
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
