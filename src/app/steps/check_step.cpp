#include "app/steps/check_step.h"

#include <memory>
#include <string>
#include <vector>

#include "app/steps/download_step.h"
#include "app/steps/poll_budget.h"
#include "app/steps/release_gate.h"
#include "base/file_ops.h"
#include "base/path_macros_rules.h"
#include "base/text.h"
#include "base/threads.h"
#include "base/url_text.h"
#include "download/segmented_download.h"
#include "download/transfer_rules.h"
#include "list/entry_targets.h"
#include "list/list_compare.h"
#include "list/list_signature.h"
#include "list/staged_path.h"
#include "list/update_list_reader.h"
#include "services/process_services.h"
#include "services/log.h"
#include "services/status_report.h"
#include "services/window_messages.h"

namespace nm {

namespace {

// Shared with the fetch threads, each group under its own process lock. The
// threads may outlive a spent poll budget, so the state is kept alive by them.
struct SingleFetch {
    int state = kFetchRunning;
    ListSignature signature = ListSignature::verified;
    std::wstring failure;  // what was asked for and what came back
};
struct MirrorRace {
    std::wstring winner;
    long pending = 0;
    // Why the last refused mirror was refused, and the last failure.
    ListSignature refused = ListSignature::verified;
    std::wstring failure;
};

// A failed check says why, where the user and the host look, and keeps it
// for the end of the cycle.
bool Refuse(UpdateContext& context, HWND window, const std::wstring& text) {
    ShowAndLog(window, text);
    context.failure = text;
    return false;
}

// With a list key, a fetched list stands only with a valid signature from its
// own address + ".sig". One that does not is deleted at once, in the fetch
// thread, so that nothing later (a late thread, a quick check) can read it.
ListSignature AcceptFetchedList(const UpdateContext& context, const std::wstring& address,
                                const std::wstring& list_file, bool no_retry, std::wstring& failure) {
    const std::wstring key_text = ListPublicKeySetting();
    if (key_text.empty()) return ListSignature::verified;
    const std::wstring signature_file = list_file + L".sig";
    CSegmentedDownloader downloader;
    downloader.connections = 1;
    downloader.connect_tries = context.connection_try_count;
    downloader.size_limit = transfer::kListSignatureSizeLimit;
    const bool fetched = downloader.DownloadFile(address + L".sig", signature_file, no_retry, -1, nullptr);
    if (!fetched) failure = address + L".sig" + downloader.failure();
    const ListSignature result =
        fetched ? VerifyListSignature(key_text, list_file, signature_file) : ListSignature::signature_missing;
    files::Delete(signature_file);
    if (result != ListSignature::verified) files::Delete(list_file);
    return result;
}

bool MirrorRaceFetch(UpdateContext& context, const std::wstring& list_file, ListSignature& refused,
                     std::wstring& failure) {
    auto race = std::make_shared<MirrorRace>();
    const std::vector<std::wstring> mirrors = context.list.mirror_addresses;
    race->pending = static_cast<long>(mirrors.size());
    for (size_t i = 0; i < mirrors.size(); ++i) {
        const std::wstring file = list_file + std::to_wstring(i);
        // A mirror's file of an earlier check must not count for this one.
        files::Delete(file);
        const std::wstring address = ExpandListParameters(context.settings, mirrors[i]);
        WriteLog(L"download:" + address);
        // The context outlives the race: the process ends before it does.
        const bool started = StartDetached([race, address, file, list_file, &context] {
            ListSignature signature = ListSignature::verified;
            std::wstring why;
            if (!address.empty() && !file.empty() && FetchListFile(context, address, file, true, &signature, &why)) {
                ScopedLock guard(ProcessLock::MirrorRace);
                if (race->winner.empty()) {
                    race->winner = address;
                    // A winner that cannot be put in place leaves no list: the check fails then.
                    files::ReplaceWithRetries(file, list_file);
                } else {
                    files::Delete(file);
                }
            }
            ScopedLock guard(ProcessLock::MirrorRace);
            if (signature != ListSignature::verified) race->refused = signature;
            if (!why.empty()) race->failure = why;
            --race->pending;
        });
        if (!started) {
            ScopedLock guard(ProcessLock::MirrorRace);
            --race->pending;
        }
    }
    const long budget = context.settings.ReadInteger(L"Novamend", L"MultCheckTimeOut", L"60");
    std::wstring winner;
    PollWithBudget(budget, ProcessLock::MirrorRace, [&] {
        winner = race->winner;
        refused = race->refused;
        failure = race->failure;
        return !winner.empty() || race->pending <= 0;
    });
    if (winner.empty()) return false;
    context.list.list_url_base = ListUrlBase(winner);
    context.list.mirror_addresses.clear();
    return true;
}

bool SingleFetch(UpdateContext& context, const std::wstring& list_file, ListSignature& refused, std::wstring& failure) {
    auto fetch = std::make_shared<struct SingleFetch>();
    const bool started = StartDetached([fetch, list_file, &context] {
        const std::wstring address = ExpandListParameters(context.settings, context.settings.ListAddress());
        WriteLog(L"download:" + address);
        ListSignature signature = ListSignature::verified;
        std::wstring why;
        const bool ok = FetchListFile(context, address, list_file, false, &signature, &why);
        ScopedLock guard(ProcessLock::SingleFetch);
        fetch->signature = signature;
        fetch->failure = why;
        fetch->state = ok ? kFetchSucceeded : kFetchFailed;
    });
    if (!started) return false;
    bool ok = false;
    PollWithBudget(context.settings.CheckTimeOut(), ProcessLock::SingleFetch, [&] {
        ok = fetch->state == kFetchSucceeded;
        refused = fetch->signature;
        failure = fetch->failure;
        return fetch->state != kFetchRunning;
    });
    return ok;
}

bool QuickModeApplies(UpdateContext& context) {
    const RunMode mode = context.run_mode;
    return (mode == RunMode::CheckForUpdates || mode == RunMode::AppEnterNoPrompt || mode == RunMode::AppEnter) &&
           context.settings.ReadSwitch(L"Novamend", L"QuickCheck", L"1") && !context.settings.ChecksVersionNumber();
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

std::wstring ExpandListParameters(Settings& settings, const std::wstring& address) {
    return path_macros::ExpandParameters(
        address, [&settings](const std::wstring& key) { return settings.Read(L"UPDATEINFO", key); });
}

bool FetchListFile(UpdateContext& context, const std::wstring& address, const std::wstring& list_file, bool no_retry,
                   ListSignature* refused, std::wstring* failure) {
    std::wstring why;
    if (!FetchFile(context, nullptr, -1, address, list_file, no_retry, &why)) {
        if (failure) *failure = why;
        return false;
    }
    const ListSignature signature = AcceptFetchedList(context, address, list_file, no_retry, why);
    if (failure) *failure = why;
    if (refused) *refused = signature;
    return signature == ListSignature::verified;
}

bool CheckNeedsAnotherPass(const UpdateContext& context) { return !context.list.mirror_addresses.empty(); }

bool CheckStep(UpdateContext& context, HWND window) {
    DownLoadList& list = context.list;
    Settings& settings = context.settings;
    const std::wstring address = settings.ListAddress();
    if (JudgeListAddress(address) == ListAddressFault::missing)
        return Refuse(context, window, TranslateMain(L"novamend.ini -> UPDATEINFO -> ListURL can't empty"));
    // An address no request can reach fails here, with why, before any attempt.
    const std::wstring expanded = ExpandListParameters(settings, address);
    if (const ListAddressFault fault = JudgeListAddress(expanded); fault != ListAddressFault::none)
        return Refuse(context, window,
                      TranslateMain(L"error when download the list file.") + L"\r\n" + expanded + L": " +
                          TranslateMain(ListAddressFaultText(fault)));
    list.RemoveAll();
    list.description.clear();
    // The split below appends: a process that checks again must not run the old commands twice.
    list.run_commands.clear();
    // Signed releases: a key that cannot be read refuses every list.
    const std::wstring key_text = ListPublicKeySetting();
    if (!key_text.empty() && !ListKeyUsable(key_text))
        return Refuse(context, window, ListRefusalText(ListSignature::key_unusable));
    ShowAndLog(window, TranslateMain(L"try to download the list file..."));

    std::wstring list_file = settings.LocalListFile();
    if (QuickModeApplies(context)) {
        // The list an earlier run fetched is compared; nothing is fetched now.
        // The rename fails when the kept name exists already, and that
        // older list is compared then.
        const std::wstring kept = list_file + L".xml";
        files::Move(list_file, kept);
        settings.SetLocalListFile(kept);
        list_file = kept;
    } else {
        // Nothing of an earlier check may pass for this one's list.
        files::Delete(list_file);
        context.variables.Set(L"__down|" + list_file, address);
        bool fetched;
        ListSignature refused = ListSignature::verified;
        std::wstring failure;
        if (!list.mirror_addresses.empty())
            fetched = MirrorRaceFetch(context, list_file, refused, failure);
        else if (!list.remote_version.empty())
            fetched = true;  // the version page stood in for the list: nothing to compare
        else
            fetched = SingleFetch(context, list_file, refused, failure);
        // The address, and what it answered when it answered.
        const std::wstring where = failure.empty() ? address : failure;
        if (!fetched && refused != ListSignature::verified)
            return Refuse(context, window, ListRefusalText(refused) + L"\r\n" + where);
        if (!fetched) {
            std::wstring message = TranslateMain(L"error when download the list file.");
            if (list.remote_version.empty()) message += L"\r\n" + where;
            return Refuse(context, window, message);
        }
        // The copy is what a later quick check compares; without it that
        // check compares an older list or none, as on a first run.
        files::CopyReplacing(list_file, list_file + L".xml");
    }

    std::vector<updatefileinfo> fetched_entries;
    // A list that cannot be read has shown why, and counts as empty.
    ReadUpdateList(list_file, fetched_entries, true, list);
    // The comparison copy is only looked up by path: its versions are enough.
    // Without one (a first install) every entry counts as new.
    ListVersions installed_versions;
    std::uint64_t installed_serial = 0;
    ReadListVersions(text::CollapseSeparators(settings.ApplicationDirectory() + L"\\novamend.xml"), installed_versions,
                     &installed_serial);
    // A signed list older than the installed one is a replay that would roll
    // the application back.
    if (!key_text.empty() && list.serial < installed_serial)
        return Refuse(context, window, OlderListText() + L"\r\n" + address);
    std::wstring refusal;
    switch (JudgeRelease(context, !key_text.empty(), refusal)) {
    case ReleaseVerdict::refuse:
        return Refuse(context, window, refusal + L"\r\n" + address);
    case ReleaseVerdict::hold:
        return true;  // read and compared with nothing due: nothing to update
    case ReleaseVerdict::proceed:
        break;
    }
    const bool check_lost_files = settings.ReadSwitch(L"Novamend", L"CheckLostFile", L"0");
    const std::wstring application_directory = settings.ApplicationDirectory();
    const auto any_target_missing = [&application_directory](const updatefileinfo& entry) {
        for (const std::wstring& target : EntryTargets(entry, application_directory))
            if (!files::Exists(target)) return true;
        return false;
    };
    list.entries = MarkChangedEntries(fetched_entries, installed_versions, check_lost_files, any_target_missing);
    RefuseEntriesThatClimbOut(window, list.entries);
    SplitOffDescriptionAndRuns(list.entries, list.description, list.run_commands);
    list.KeepFileHashesOfEntries();
    if (!list.description.empty()) context.hosts.NotifyDescription(list.description);
    return true;
}

}  // namespace nm
