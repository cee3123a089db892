// portable: builds without Win32
// verify: a release checked against a branded updater, before it is
// published (a release folder) or after (the list's address), as that
// updater will see it: its list, the list's signature by the key it
// carries, every file's size and sha256, the serial against an installed
// list, and every address it will ask for. Each check is printed; any
// fault makes the exit code 1.
#include <cstdio>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/file_ops.h"
#include "base/hex.h"
#include "base/last_error.h"
#include "base/scope_guard.h"
#include "base/text.h"
#include "base/url_text.h"
#include "download/expected_content.h"
#include "install/zip_package.h"
#include "list/list_compare.h"
#include "list/list_entry_rules.h"
#include "list/release_control.h"
#include "list/staged_path.h"
#include "list/update_list_reader.h"
#include "services/embedded_settings.h"
#include "services/settings.h"
#include "tool/file_digest.h"
#include "tool/list_signature_check.h"
#include "tool/reader_apartment.h"
#include "tool/release_fetch.h"
#include "tool/scratch_folder.h"
#include "tool/tool_commands.h"
#include "tool/vendor_settings.h"

namespace nm::tool {

namespace {
constexpr wchar_t kUsage[] =
    L"usage: novamend-tool verify UPDATER LIST_URL_OR_RELEASE_DIR [--installed INSTALLED_LIST]\n";

// Every check said as it is made; the faults decide the exit code.
class Report {
public:
    void Ok(const std::wstring& what) { Line(L"ok   ", what); }
    void Fault(const std::wstring& what) {
        ++faults_;
        Line(L"FAULT", what);
    }
    void Note(const std::wstring& what) { std::fwprintf(stdout, L"note   %ls\n", what.c_str()); }
    int Finish() {
        std::fwprintf(stdout, L"verify: %d checks, %d faults\n", checks_, faults_);
        return faults_ == 0 ? 0 : 1;
    }

private:
    void Line(const wchar_t* mark, const std::wstring& what) {
        ++checks_;
        std::fwprintf(stdout, L"%ls  %ls\n", mark, what.c_str());
    }
    int checks_ = 0, faults_ = 0;
};

// Where the release is: a folder on this machine, or the server.
struct Release {
    std::wstring folder;  // empty for a server
    std::wstring list_url;
    std::wstring scratch;  // a folder of the tool's own, removed at the end
    const ReleaseFetch* fetch = nullptr;

    bool OnServer() const { return folder.empty(); }
    // A local copy of what the updater fetches from `url`, for a file the
    // folder holds as `relative`; "" with `why` when there is none.
    std::wstring Obtain(const std::wstring& url, const std::optional<std::wstring>& relative, const std::wstring& name,
                        std::wstring& why) const {
        if (!OnServer() && relative) {
            const std::wstring file = text::CollapseSeparators(folder + L"\\" + *relative);
            if (files::Exists(file)) return file;
            why = L" (no " + file + L")";
            return {};
        }
        const std::wstring file = scratch + L"\\" + name;
        why = fetch->ToFile(url, file);
        return why.empty() ? file : L"";
    }
};

// A file's bytes against what its entry names.
void CheckContent(Report& report, const std::wstring& what, const ExpectedContent& expected, const std::wstring& file) {
    sha256::Digest digest{};
    std::uint64_t read = 0;
    if (!DigestOfFile(file, digest, read)) return report.Fault(what + L": cannot be read" + LastSystemReason());
    const auto size = static_cast<std::int64_t>(read);
    if (expected.size && *expected.size != size)
        return report.Fault(what + L": " + std::to_wstring(size) + L" bytes, the list says " +
                            std::to_wstring(*expected.size));
    if (expected.known && digest != expected.digest)
        return report.Fault(what + L": its sha256 is " + hex::EncodeDigest(digest) + L", not the list's");
    if (!expected.required)
        return report.Ok(what + L": there (" + std::to_wstring(size) +
                         L" bytes; the list gives no size or sha256 to check it against)");
    report.Ok(what + L": " + std::to_wstring(size) + L" bytes" + (expected.known ? L", sha256 matches" : L""));
}

void CheckEntries(Report& report, const Release& release, DownLoadList& list, bool key_in_force) {
    int checked = 0;
    for (long row = 0; row < list.FileCount(); ++row) {
        const updatefileinfo entry = list.entries[row];
        if (!CarriesFile(entry)) continue;
        ++checked;
        if (EntryClimbsOut(entry)) {
            report.Fault(entry.path + L": its path leaves its folder, so the updater drops the entry");
            continue;
        }
        const ExpectedContent expected = ExpectedContentOf(list, row, key_in_force);
        if (key_in_force && !expected.known) {
            report.Fault(entry.path + L": no sha256 (64 hex digits), so an updater with a key never downloads it");
            continue;
        }
        // The updater asks for the archive variant first and installs what
        // it holds when there is one.
        const std::wstring url = list.EntryUrl(entry);
        const bool in_folder = entry.url.empty() && list.url_template == DownLoadList::kDefaultUrlTemplate;
        const std::optional<std::wstring> relative = in_folder ? StagedRelativePath(entry.path) : std::nullopt;
        const std::wstring name = std::to_wstring(row);
        std::wstring why;
        const std::wstring archive = release.Obtain(
            url + L"._.zip", relative ? std::optional(*relative + L"._.zip") : std::nullopt, name + L"._.zip", why);
        const bool remote = release.OnServer() || !relative;
        if (!archive.empty()) {
            const std::wstring unpacked = release.scratch + L"\\" + name + L".unpacked";
            const std::wstring label = remote ? url + L"._.zip" : archive;
            if (!ExtractArchive(archive, unpacked))
                report.Fault(label + L": not an archive the updater can unpack");
            else
                CheckContent(report, label + L" (unpacked)", expected, unpacked);
        }
        const std::wstring file = release.Obtain(url, relative, name, why);
        if (file.empty())
            report.Fault((remote ? url : entry.path) + L": missing" + why);
        else
            CheckContent(report, remote ? url : file, expected, file);
    }
    if (checked == 0) report.Fault(L"the list names no file");
}

// The list's signature by the updater's key, over the exact bytes fetched.
void CheckSignature(Report& report, const Release& release, const std::wstring& key, const std::wstring& list_file) {
    if (key.empty()) return report.Note(L"the updater carries no ListPublicKey: it takes the list unsigned");
    std::wstring why;
    const std::wstring signature =
        release.Obtain(release.list_url + L".sig",
                       std::optional(list_entry::PathFromAddress(release.list_url) + L".sig"), L"list.sig", why);
    if (signature.empty())
        return report.Fault(release.list_url + L".sig: no signature" + why +
                            L"; the updater refuses the list (novamend-tool sign KEY_FILE LIST)");
    switch (CheckListSignature(key, list_file, signature)) {
    case ListSignature::verified:
        return report.Ok(L"the list's signature verifies with the updater's ListPublicKey");
    case ListSignature::key_unusable:
        return report.Fault(L"the updater's ListPublicKey is not a key: it refuses every list");
    case ListSignature::signature_missing:
        return report.Fault(signature + L": cannot be read");
    case ListSignature::signature_wrong:
        return report.Fault(release.list_url +
                            L".sig does not verify: the list changed after signing, or another key signed it");
    }
}

void CheckSerial(Report& report, const DownLoadList& list, const std::wstring& installed, const Release& release) {
    if (installed.empty()) return report.Note(L"the list's serial is " + std::to_wstring(list.serial));
    const std::wstring copy = release.scratch + L"\\installed.xml";
    ListVersions versions;
    std::uint64_t serial = 0;
    if (!files::CopyReplacing(installed, copy) || !ReadListVersions(
                                                      copy, versions, [](const std::wstring&) {}, &serial))
        return report.Fault(installed + L": not an update list (the installed list was expected)");
    if (list.serial <= serial)
        return report.Fault(L"the list's serial " + std::to_wstring(list.serial) + L" is not above the installed " +
                            std::to_wstring(serial) +
                            L" (each release needs a higher one; an updater with a key refuses an older list)");
    report.Ok(L"the list's serial " + std::to_wstring(list.serial) + L" is above the installed " +
              std::to_wstring(serial));
    const size_t changed = MarkChangedEntries(list.entries, versions, false, {}).size();
    report.Note(std::to_wstring(changed) + L" entries differ from the installed list");
}
// What the list says of its own release, as the updater will take it.
void ReportReleaseControl(Report& report, const ReleaseControl& control, bool key_in_force) {
    if (!control.expires.empty()) {
        const auto expires = release_control::ParseUtcTime(control.expires);
        if (!key_in_force)
            report.Note(L"the list expires at " + control.expires +
                        L"; an updater without a ListPublicKey does not hold it to that");
        else if (!expires)
            report.Fault(L"the list's expiry time " + control.expires +
                         L" cannot be read (YYYY-MM-DDTHH:MM:SSZ): the updater refuses the list");
        else if (*expires <= static_cast<std::int64_t>(std::time(nullptr)))
            report.Fault(L"the list expired at " + control.expires + L": the updater refuses it");
        else
            report.Ok(L"the list expires at " + control.expires);
    }
    if (control.paused) report.Note(L"the list pauses updates: no updater installs anything from it");
    if (control.rollout_percent)
        report.Note(L"the list goes to " + std::to_wstring(*control.rollout_percent) + L" percent of machines" +
                    (control.rollout_user_checks ? L"; a check the user asks for takes it at once" : L""));
}
}  // namespace

int Verify(const Arguments& args) {
    std::vector<std::wstring> words;
    std::wstring installed;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == L"--installed" && i + 1 < args.size())
            installed = args[++i];
        else
            words.push_back(args[i]);
    }
    if (words.size() != 2) {
        std::fwprintf(stderr, L"%ls", kUsage);
        return 2;
    }
    const std::wstring &updater = words[0], &source = words[1];
    Report report;
    if (const std::wstring fault = UpdaterFault(updater); !fault.empty()) {
        report.Fault(fault);
        return report.Finish();
    }

    // The updater's settings where it would write them out, so that they are
    // read (its proxy too) as it reads them.
    Release release;
    release.scratch = ScratchFolderPath(L"verify");
    files::CreateDirectoryLevels(release.scratch);
    scope_exit remove_scratch([&] { files::RemoveDirectoryTree(release.scratch); });
    const std::wstring settings_file = release.scratch + L"\\novamend.ini";
    if (!files::WriteAll(settings_file, EmbeddedSettingsBytesOf(updater).value_or("")))
        return Fail(L"verify", L"cannot write", settings_file);
    const ReleaseFetch fetch(settings_file);
    release.fetch = &fetch;
    const std::vector<std::wstring> faults = SettingsFaults(settings_file, updater);
    for (const std::wstring& fault : faults) report.Fault(fault);
    if (faults.empty()) report.Ok(updater + L": a Novamend updater whose settings read");
    const std::wstring list_url = ExpandedListAddress(settings_file);
    const std::wstring key = Settings::ReadIni(settings_file, L"UPDATEINFO", L"ListPublicKey");
    const bool key_in_force = !key.empty() && ListKeyUsable(key);

    if (JudgeListAddress(source) == ListAddressFault::none) {
        release.list_url = source;
        if (!text::EqualsNoCase(source, list_url)) {
            report.Note(L"the updater asks for " + list_url + L"; the release is checked at " + source);
            const std::wstring why = fetch.ToFile(list_url, release.scratch + L"\\asked.xml");
            if (why.empty())
                report.Ok(list_url + L": answers");
            else
                report.Fault(list_url + L": the updater's list address does not answer" + why);
        }
    } else {
        if (!files::IsDirectory(source))
            return Refuse(L"verify", L"neither an http:// or https:// address nor a release folder", source);
        release.folder = source;
        while (release.folder.size() > 1 && (release.folder.back() == L'\\' || release.folder.back() == L'/'))
            release.folder.pop_back();
        release.list_url = list_url;
        report.Note(L"the updater asks for " + list_url + L": the folder is checked as published there");
    }

    std::wstring why;
    const std::wstring fetched = release.Obtain(
        release.list_url, std::optional(list_entry::PathFromAddress(release.list_url)), L"list.xml", why);
    if (fetched.empty()) {
        report.Fault(release.list_url + L": no list" + why);
        return report.Finish();
    }
    CheckSignature(report, release, key, fetched);
    // Reading drops a list's guid from the file: a copy is read.
    const std::wstring copy = release.scratch + L"\\read.xml";
    const ReaderApartment apartment;
    DownLoadList list;
    std::vector<updatefileinfo> entries;
    std::wstring unread;
    if (!files::CopyReplacing(fetched, copy) ||
        !ReadUpdateList(copy, entries, true, list, [&unread](const std::wstring& text) { unread = text; })) {
        report.Fault(release.list_url + L": not an update list (no update, updates or novamend root)" +
                     (unread.empty() ? L"" : L": " + unread));
        return report.Finish();
    }
    list.entries = std::move(entries);
    list.StoreListUrlBase(release.list_url);
    report.Ok((release.OnServer() ? release.list_url : fetched) + L": an update list of " +
              std::to_wstring(list.FileCount()) + L" entries");
    CheckSerial(report, list, installed, release);
    ReportReleaseControl(report, list.release_control, key_in_force);
    CheckEntries(report, release, list, key_in_force);
    return report.Finish();
}

}  // namespace nm::tool
