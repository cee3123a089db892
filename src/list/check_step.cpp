#include "list/check_step.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/host_windows.h"
#include "app/log.h"
#include "app/named_lock.h"
#include "app/status_report.h"
#include "app/update_app.h"
#include "app/update_cycle.h"
#include "app/update_state.h"
#include "base/code_page.h"
#include "base/file_ops.h"
#include "base/text.h"
#include "base/threads.h"
#include "download/download_step.h"
#include "download/http_session.h"
#include "list/list_compare.h"
#include "list/path_macros.h"
#include "list/update_list_reader.h"
#include "list/url_text.h"
#include "list/version_page.h"

namespace nm {

namespace {
constexpr long kLockMirrorRace = 0xF000B;
constexpr long kLockSingleFetch = 0xF000C;
constexpr long kLockVersionProbe = 0xF000D;

enum FetchState : int { kRunning = 0, kSucceeded = 2, kFailed = 3 };

// Shared with the fetch threads, each group under its own numbered lock. The
// threads may outlive a spent poll budget, so the state is kept alive by them.
struct SingleFetch {
    int state = kRunning;
};
struct MirrorRace {
    std::wstring winner;
    long pending = 0;
};
struct VersionProbe {
    int state = kRunning;
};

std::wstring Translate(const wchar_t* text) { return theApp().language.Translate(L"MAIN", text); }

// Polls a state under its lock, at most 100 x budget times, 1 ms apart.
template <typename Done>
bool PollWithBudget(long budget, long lock, Done done) {
    for (long poll = 0; poll < 100 * budget; ++poll) {
        {
            ScopedLock guard(lock);
            if (done()) return true;
        }
        ::Sleep(1);
    }
    ScopedLock guard(lock);
    return done();
}

void RunVersionProbe(const std::shared_ptr<VersionProbe>& probe) {
    CUpdateApp& app = theApp();
    const std::wstring address = ExpandListParameters(app.settings.Read(L"UPDATEINFO", L"ListURL"));
    WriteLog(L"download:" + address);
    std::vector<char> body;
    if (!FetchToMemory(address, body)) {
        SetUpdateState(UpdateCheckRemoteError, nullptr);
        ScopedLock guard(kLockVersionProbe);
        probe->state = kFailed;
        return;
    }
    std::wstring joined;
    for (const std::string& line : VersionPageLines(std::string_view(body.data(), body.size()))) joined += code_page::Decode(line);
    const VersionPage page = ParseVersionPage(joined);
    ScopedLock guard(kLockVersionProbe);
    app.list.remote_version = page.version;
    app.list.mirror_addresses = page.mirrors;
    probe->state = kSucceeded;
}

void CheckVersionNumber() {
    auto probe = std::make_shared<VersionProbe>();
    const bool started = StartDetached([probe] { RunVersionProbe(probe); });
    const long budget = theApp().settings.ReadInteger(L"Novamend", L"TimeOut", L"60");
    bool succeeded = false;
    if (started)
        PollWithBudget(budget, kLockVersionProbe, [&] {
            succeeded = probe->state == kSucceeded;
            return probe->state != kRunning;
        });
    bool has_version;
    {
        ScopedLock guard(kLockVersionProbe);
        has_version = !theApp().list.remote_version.empty();
    }
    SetUpdateState(succeeded && has_version ? UpdateCheckRemoteOk : UpdateCheckRemoteError, nullptr);
}

bool MirrorRaceFetch(const std::wstring& list_file) {
    CUpdateApp& app = theApp();
    auto race = std::make_shared<MirrorRace>();
    const std::vector<std::wstring> mirrors = app.list.mirror_addresses;
    race->pending = static_cast<long>(mirrors.size());
    for (size_t i = 0; i < mirrors.size(); ++i) {
        const std::wstring file = list_file + std::to_wstring(i);
        ::DeleteFileW(file.c_str());
        const std::wstring address = ExpandListParameters(mirrors[i]);
        WriteLog(L"download:" + address);
        const bool started = StartDetached([race, address, file, list_file] {
            if (!address.empty() && !file.empty() && FetchFile(nullptr, -1, address, file, true) == 0) {
                ScopedLock guard(kLockMirrorRace);
                if (race->winner.empty()) {
                    race->winner = address;
                    files::ReplaceWithRetries(file, list_file);
                } else {
                    ::DeleteFileW(file.c_str());
                }
            }
            ScopedLock guard(kLockMirrorRace);
            --race->pending;
        });
        if (!started) {
            ScopedLock guard(kLockMirrorRace);
            --race->pending;
        }
    }
    const long budget = app.settings.ReadInteger(L"Novamend", L"MultCheckTimeOut", L"60");
    std::wstring winner;
    PollWithBudget(budget, kLockMirrorRace, [&] {
        winner = race->winner;
        return !winner.empty() || race->pending <= 0;
    });
    if (winner.empty()) return false;
    app.list.list_url_base = ListUrlBase(winner);
    app.list.mirror_addresses.clear();
    return true;
}

bool SingleFetch(const std::wstring& list_file) {
    auto fetch = std::make_shared<struct SingleFetch>();
    const bool started = StartDetached([fetch, list_file] {
        const std::wstring address = ExpandListParameters(theApp().settings.Read(L"UPDATEINFO", L"ListURL"));
        WriteLog(L"download:" + address);
        const bool ok = FetchFile(nullptr, -1, address, list_file, false) == 0;
        ScopedLock guard(kLockSingleFetch);
        fetch->state = ok ? kSucceeded : kFailed;
    });
    if (!started) return false;
    bool ok = false;
    PollWithBudget(theApp().settings.ReadInteger(L"Novamend", L"TimeOut", L"60"), kLockSingleFetch, [&] {
        ok = fetch->state == kSucceeded;
        return fetch->state != kRunning;
    });
    return ok;
}

bool QuickModeApplies() {
    CUpdateApp& app = theApp();
    const std::wstring mode = app.variables.Get(L"runmode");
    return (mode == L"checkforupdates" || mode == L"appenternoprompt" || mode == L"appenter") &&
           app.settings.ReadSwitch(L"Novamend", L"QuickCheck", L"1") &&
           !app.settings.ReadSwitch(L"APPLICATION", L"CheckVerNumber", L"0");
}

bool AnyTargetMissing(const updatefileinfo& entry) {
    for (const std::wstring& target : EntryTargets(entry))
        if (!files::Exists(target)) return true;
    return false;
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

bool CheckNeedsAnotherPass() { return !theApp().list.mirror_addresses.empty(); }

bool CheckStep(HWND window) {
    CUpdateApp& app = theApp();
    const std::wstring address = app.settings.Read(L"UPDATEINFO", L"ListURL");
    if (address.size() < 5) {
        ShowAndLog(window, Translate(L"novamend.ini -> UPDATEINFO -> ListURL can't empty"));
        return false;
    }
    app.list.RemoveAll();
    app.list.description.clear();
    ShowAndLog(window, Translate(L"try to download the list file..."));

    std::wstring list_file = app.settings.LocalListFile();
    if (QuickModeApplies()) {
        // The list an earlier run fetched is compared; nothing is fetched now.
        const std::wstring kept = list_file + L".xml";
        ::MoveFileW(list_file.c_str(), kept.c_str());
        app.settings.SetLocalListFile(kept);
        list_file = kept;
    } else {
        ::DeleteFileW(list_file.c_str());
        app.variables.Set(L"__down|" + list_file, address);
        bool fetched;
        if (!app.list.mirror_addresses.empty())
            fetched = MirrorRaceFetch(list_file);
        else if (!app.list.remote_version.empty())
            fetched = true;  // the version page stood in for the list: nothing to compare
        else
            fetched = SingleFetch(list_file);
        if (!fetched) {
            std::wstring message = Translate(L"error when download the list file.");
            if (app.list.remote_version.empty()) message += L"\r\n" + address;
            ShowAndLog(window, message);
            return false;
        }
        ::CopyFileW(list_file.c_str(), (list_file + L".xml").c_str(), FALSE);
    }

    std::vector<updatefileinfo> fetched_entries;
    ReadUpdateList(list_file, fetched_entries, true);
    // The comparison copy is only looked up by path: its versions are enough.
    ListVersions installed_versions;
    ReadListVersions(text::CollapseSeparators(app.settings.ApplicationDirectory() + L"\\novamend.xml"),
                     installed_versions);
    const bool check_lost_files = app.settings.ReadSwitch(L"Novamend", L"CheckLostFile", L"0");
    app.list.entries = MarkChangedEntries(fetched_entries, installed_versions, check_lost_files, AnyTargetMissing);
    SplitOffDescriptionAndRuns(app.list.entries, app.list.description, app.list.run_commands);
    if (!app.list.description.empty()) app.hosts.NotifyDescription(app.list.description);
    return true;
}

}  // namespace nm
