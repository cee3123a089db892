#include "app/steps/check_step.h"

#include <memory>
#include <string>
#include <vector>

#include "app/steps/download_step.h"
#include "app/steps/poll_budget.h"
#include "app/update_app.h"
#include "base/file_ops.h"
#include "base/path_macros_rules.h"
#include "base/text.h"
#include "base/threads.h"
#include "base/url_text.h"
#include "list/entry_targets.h"
#include "list/list_compare.h"
#include "list/staged_path.h"
#include "list/update_list_reader.h"
#include "services/log.h"
#include "services/status_report.h"
#include "services/window_messages.h"

namespace nm {

namespace {

// Shared with the fetch threads, each group under its own numbered lock. The
// threads may outlive a spent poll budget, so the state is kept alive by them.
struct SingleFetch {
    int state = kFetchRunning;
};
struct MirrorRace {
    std::wstring winner;
    long pending = 0;
};

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
                ScopedLock guard(NamedLock::MirrorRace);
                if (race->winner.empty()) {
                    race->winner = address;
                    files::ReplaceWithRetries(file, list_file);
                } else {
                    ::DeleteFileW(file.c_str());
                }
            }
            ScopedLock guard(NamedLock::MirrorRace);
            --race->pending;
        });
        if (!started) {
            ScopedLock guard(NamedLock::MirrorRace);
            --race->pending;
        }
    }
    const long budget = app.settings.ReadInteger(L"Novamend", L"MultCheckTimeOut", L"60");
    std::wstring winner;
    PollWithBudget(budget, NamedLock::MirrorRace, [&] {
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
        ScopedLock guard(NamedLock::SingleFetch);
        fetch->state = ok ? kFetchSucceeded : kFetchFailed;
    });
    if (!started) return false;
    bool ok = false;
    PollWithBudget(theApp().settings.ReadInteger(L"Novamend", L"TimeOut", L"60"), NamedLock::SingleFetch, [&] {
        ok = fetch->state == kFetchSucceeded;
        return fetch->state != kFetchRunning;
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
    for (const std::wstring& target : EntryTargets(entry, theApp().settings.ApplicationDirectory()))
        if (!files::Exists(target)) return true;
    return false;
}
// An entry whose path or destination climbs out of its folder by ".." could
// write anywhere: it is dropped, and said so.
void RefuseEntriesThatClimbOut(HWND window, std::vector<updatefileinfo>& entries) {
    std::erase_if(entries, [window](const updatefileinfo& entry) {
        if (!EntryClimbsOut(entry)) return false;
        ShowAndLog(window, text::Format(TranslateMain(L"Refused file[%s]: its path leaves its folder"), {entry.path}),
                   kStatusProblem);
        return true;
    });
}
}  // namespace

std::wstring ExpandListParameters(const std::wstring& address) {
    return path_macros::ExpandParameters(
        address, [](const std::wstring& key) { return theApp().settings.Read(L"UPDATEINFO", key); });
}

bool CheckNeedsAnotherPass() { return !theApp().list.mirror_addresses.empty(); }

bool CheckStep(HWND window) {
    CUpdateApp& app = theApp();
    const std::wstring address = app.settings.Read(L"UPDATEINFO", L"ListURL");
    if (address.size() < 5) {
        ShowAndLog(window, TranslateMain(L"novamend.ini -> UPDATEINFO -> ListURL can't empty"));
        return false;
    }
    app.list.RemoveAll();
    app.list.description.clear();
    // The split below appends: a process that checks again must not run the old commands twice.
    app.list.run_commands.clear();
    ShowAndLog(window, TranslateMain(L"try to download the list file..."));

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
            std::wstring message = TranslateMain(L"error when download the list file.");
            if (app.list.remote_version.empty()) message += L"\r\n" + address;
            ShowAndLog(window, message);
            return false;
        }
        ::CopyFileW(list_file.c_str(), (list_file + L".xml").c_str(), FALSE);
    }

    std::vector<updatefileinfo> fetched_entries;
    ReadUpdateList(list_file, fetched_entries, true, app.list);
    // The comparison copy is only looked up by path: its versions are enough.
    ListVersions installed_versions;
    ReadListVersions(text::CollapseSeparators(app.settings.ApplicationDirectory() + L"\\novamend.xml"),
                     installed_versions);
    const bool check_lost_files = app.settings.ReadSwitch(L"Novamend", L"CheckLostFile", L"0");
    app.list.entries = MarkChangedEntries(fetched_entries, installed_versions, check_lost_files, AnyTargetMissing);
    RefuseEntriesThatClimbOut(window, app.list.entries);
    SplitOffDescriptionAndRuns(app.list.entries, app.list.description, app.list.run_commands);
    if (!app.list.description.empty()) app.hosts.NotifyDescription(app.list.description);
    return true;
}

}  // namespace nm
