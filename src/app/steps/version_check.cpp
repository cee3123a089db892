#include "app/steps/check_step.h"

#include <memory>
#include <string>
#include <vector>

#include "app/steps/poll_budget.h"
#include "base/code_page.h"
#include "base/threads.h"
#include "download/http_session.h"
#include "list/version_page.h"
#include "services/process_services.h"
#include "services/log.h"
#include "services/update_state.h"

namespace nm {

namespace {
// Shared with the probe thread under its process lock. The thread may
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
    for (const std::string& line : VersionPageLines(std::string_view(body.data(), body.size())))
        joined += code_page::Decode(line);
    const VersionPage page = ParseVersionPage(joined);
    ScopedLock guard(ProcessLock::VersionProbe);
    probe->version = page.version;
    probe->mirrors = page.mirrors;
    probe->state = kFetchSucceeded;
}

void CheckVersionNumber(UpdateContext& context) {
    DownLoadList& list = context.list;
    const std::wstring address = ExpandListParameters(context.settings, context.settings.ListAddress());
    WriteLog(L"download:" + address);
    auto probe = std::make_shared<VersionProbe>();
    const bool started = StartDetached([probe, address] { RunVersionProbe(probe, address); });
    const long budget = context.settings.CheckTimeOut();
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
            list.remote_version = probe->version;
            list.mirror_addresses = probe->mirrors;
        }
    }
    if (!succeeded || list.remote_version.empty()) {
        // The page that did not answer, or answered with no version.
        context.failure = TranslateMain(L"error when download the list file.") + L"\r\n" + address;
        WriteLog(context.failure);
    }
    SetUpdateState(succeeded && !list.remote_version.empty() ? UpdateCheckRemoteOk : UpdateCheckRemoteError, nullptr);
}

}  // namespace

void CheckByVersion(UpdateContext& context, HWND window) {
    context.list.remote_version.clear();
    context.list.mirror_addresses.clear();
    if (!context.settings.ChecksVersionNumber())
        CheckWrapper(context, window);
    else
        CheckVersionNumber(context);
}

}  // namespace nm
