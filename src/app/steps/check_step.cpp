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
#include "download/segmented_download.h"
#include "list/entry_targets.h"
#include "list/list_compare.h"
#include "list/list_signature.h"
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
    ListSignature signature = ListSignature::verified;
};
struct MirrorRace {
    std::wstring winner;
    long pending = 0;
    // Why the last refused mirror was refused.
    ListSignature refused = ListSignature::verified;
};

// With a list key, a fetched list stands only with a valid signature from its
// own address + ".sig". One that does not is deleted at once, in the fetch
// thread, so that nothing later (a late thread, a quick check) can read it.
ListSignature AcceptFetchedList(const std::wstring& address, const std::wstring& list_file, bool no_retry) {
    const std::wstring key_text = ListPublicKeySetting();
    if (key_text.empty()) return ListSignature::verified;
    const std::wstring signature_file = list_file + L".sig";
    CSegmentedDownloader downloader;
    downloader.connections = 1;
    downloader.connect_tries = theApp().connection_try_count;
    const ListSignature result = downloader.DownloadFile(address + L".sig", signature_file, no_retry, -1, nullptr)
                                     ? VerifyListSignature(key_text, list_file, signature_file)
                                     : ListSignature::signature_missing;
    files::Delete(signature_file);
    if (result != ListSignature::verified) files::Delete(list_file);
    return result;
}

bool MirrorRaceFetch(const std::wstring& list_file, ListSignature& refused) {
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
            ListSignature signature = ListSignature::verified;
            if (!address.empty() && !file.empty() && FetchListFile(address, file, true, &signature)) {
                ScopedLock guard(ProcessLock::MirrorRace);
                if (race->winner.empty()) {
                    race->winner = address;
                    files::ReplaceWithRetries(file, list_file);
                } else {
                    ::DeleteFileW(file.c_str());
                }
            }
            ScopedLock guard(ProcessLock::MirrorRace);
            if (signature != ListSignature::verified) race->refused = signature;
            --race->pending;
        });
        if (!started) {
            ScopedLock guard(ProcessLock::MirrorRace);
            --race->pending;
        }
    }
    const long budget = app.settings.ReadInteger(L"Novamend", L"MultCheckTimeOut", L"60");
    std::wstring winner;
    PollWithBudget(budget, ProcessLock::MirrorRace, [&] {
        winner = race->winner;
        refused = race->refused;
        return !winner.empty() || race->pending <= 0;
    });
    if (winner.empty()) return false;
    app.list.list_url_base = ListUrlBase(winner);
    app.list.mirror_addresses.clear();
    return true;
}

bool SingleFetch(const std::wstring& list_file, ListSignature& refused) {
    auto fetch = std::make_shared<struct SingleFetch>();
    const bool started = StartDetached([fetch, list_file] {
        const std::wstring address = ExpandListParameters(theApp().settings.Read(L"UPDATEINFO", L"ListURL"));
        WriteLog(L"download:" + address);
        ListSignature signature = ListSignature::verified;
        const bool ok = FetchListFile(address, list_file, false, &signature);
        ScopedLock guard(ProcessLock::SingleFetch);
        fetch->signature = signature;
        fetch->state = ok ? kFetchSucceeded : kFetchFailed;
    });
    if (!started) return false;
    bool ok = false;
    PollWithBudget(theApp().settings.ReadInteger(L"Novamend", L"TimeOut", L"60"), ProcessLock::SingleFetch, [&] {
        ok = fetch->state == kFetchSucceeded;
        refused = fetch->signature;
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

bool FetchListFile(const std::wstring& address, const std::wstring& list_file, bool no_retry, ListSignature* refused) {
    if (FetchFile(nullptr, -1, address, list_file, no_retry) != 0) return false;
    const ListSignature signature = AcceptFetchedList(address, list_file, no_retry);
    if (refused) *refused = signature;
    return signature == ListSignature::verified;
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
    // Signed releases: a key that cannot be read refuses every list.
    const std::wstring key_text = ListPublicKeySetting();
    if (!key_text.empty() && !ListKeyUsable(key_text)) {
        ShowAndLog(window, ListRefusalText(ListSignature::key_unusable));
        return false;
    }
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
        ListSignature refused = ListSignature::verified;
        if (!app.list.mirror_addresses.empty())
            fetched = MirrorRaceFetch(list_file, refused);
        else if (!app.list.remote_version.empty())
            fetched = true;  // the version page stood in for the list: nothing to compare
        else
            fetched = SingleFetch(list_file, refused);
        if (!fetched && refused != ListSignature::verified) {
            ShowAndLog(window, ListRefusalText(refused) + L"\r\n" + address);
            return false;
        }
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
    std::uint64_t installed_serial = 0;
    ReadListVersions(text::CollapseSeparators(app.settings.ApplicationDirectory() + L"\\novamend.xml"),
                     installed_versions, &installed_serial);
    // A signed list older than the installed one is a replay that would roll
    // the application back.
    if (!key_text.empty() && app.list.serial < installed_serial) {
        ShowAndLog(window, OlderListText() + L"\r\n" + address);
        return false;
    }
    const bool check_lost_files = app.settings.ReadSwitch(L"Novamend", L"CheckLostFile", L"0");
    app.list.entries = MarkChangedEntries(fetched_entries, installed_versions, check_lost_files, AnyTargetMissing);
    RefuseEntriesThatClimbOut(window, app.list.entries);
    SplitOffDescriptionAndRuns(app.list.entries, app.list.description, app.list.run_commands);
    app.list.KeepFileHashesOfEntries();
    if (!app.list.description.empty()) app.hosts.NotifyDescription(app.list.description);
    return true;
}

}  // namespace nm
