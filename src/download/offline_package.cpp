#include "download/offline_package.h"

#include <windows.h>

#include <map>
#include <optional>
#include <set>
#include <vector>

#include "base/cng_crypto.h"
#include "base/file_ops.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "download/expected_content.h"
#include "download/finished_file.h"
#include "download/offline_package_rules.h"
#include "download/patch_application.h"
#include "install/zip_package.h"
#include "list/entry_targets.h"
#include "list/list_compare.h"
#include "list/list_signature.h"
#include "list/pending_list.h"
#include "list/staged_path.h"
#include "list/update_list_reader.h"
#include "services/log.h"

namespace nm {

namespace {
using namespace offline_package;

constexpr DWORD kCopyBlock = 64 * 1024;
// Far above any real pending list; a larger one is not ours.
constexpr std::int64_t kLargestPendingList = 256LL * 1024 * 1024;

bool ReadExactly(HANDLE file, char* buffer, DWORD size) {
    DWORD read = 0;
    return ::ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

bool SeekTo(HANDLE file, std::uint64_t position) {
    LARGE_INTEGER distance{};
    distance.QuadPart = static_cast<LONGLONG>(position);
    return ::SetFilePointerEx(file, distance, nullptr, FILE_BEGIN) != FALSE;
}

Trailer FindTrailer(HANDLE executable) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(executable, &size) || static_cast<std::uint64_t>(size.QuadPart) < kTrailerBytes) return {};
    std::string last(kTrailerBytes, '\0');
    if (!SeekTo(executable, size.QuadPart - kTrailerBytes) || !ReadExactly(executable, last.data(), kTrailerBytes))
        return {};
    return ReadTrailer(last, static_cast<std::uint64_t>(size.QuadPart));
}

// Exactly the package's bytes, nothing of the trailer after them.
bool CopyPackageOut(HANDLE executable, const Trailer& trailer, const std::wstring& copy) {
    files::Delete(copy);
    unique_hfile out(
        ::CreateFileW(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out)  // a scanner may hold the old copy for a moment
        out.reset(
            ::CreateFileW(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out || !SeekTo(executable, trailer.offset)) return false;
    std::vector<char> block(kCopyBlock);
    for (std::uint64_t left = trailer.size; left > 0;) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::uint64_t>(left, kCopyBlock));
        DWORD written = 0;
        if (!ReadExactly(executable, block.data(), chunk) ||
            !::WriteFile(out.get(), block.data(), chunk, &written, nullptr) || written != chunk)
            return false;
        left -= chunk;
    }
    return true;
}

// The package's entries join the list, with what comes with them, as a
// saved pending list would.
void TakePending(DownLoadList&& pending, DownLoadList& list) {
    list.entries.insert(list.entries.end(), std::make_move_iterator(pending.entries.begin()),
                        std::make_move_iterator(pending.entries.end()));
    for (auto& [key, value] : pending.name_table) list.name_table[key] = std::move(value);
    list.run_commands = std::move(pending.run_commands);
    list.description = std::move(pending.description);
    list.list_url_base = std::move(pending.list_url_base);
    list.url_template = std::move(pending.url_template);
    list.guid = std::move(pending.guid);
    list.update_state = pending.update_state;
    list.serial = pending.serial;
    list.file_hashes = std::move(pending.file_hashes);
}

// Says in the log why a package is not used; false.
bool Damage(const std::wstring& reason) {
    WriteLog(L"Offline update package: " + reason);
    return false;
}

// Reads a package copy into place. A package found damaged half-way takes
// back everything it unpacked. With a list key, the package's entries come
// from its signed list, verified (signature, serial, a sha256 for every file)
// before anything is unpacked; each file's bytes are hashed as they are
// unpacked into the work directory, as a download's are as they arrive, and
// nothing becomes a finished file or the local list unless all match.
class PackageReader {
public:
    PackageReader(const OfflinePackagePlaces& places, const std::wstring& copy)
        : places_(places),
          copy_(copy),
          key_text_(ListPublicKeySetting()),
          pending_file_(TemporaryFile(kPendingListMember)),
          signed_list_file_(TemporaryFile(kSignedListMember)),
          signature_file_(TemporaryFile(kSignatureMember)),
          update_list_file_(TemporaryFile(kUpdateListMember)) {}
    ~PackageReader() {
        for (const std::wstring* file : {&pending_file_, &signed_list_file_, &signature_file_, &update_list_file_})
            files::Delete(*file);
    }

    // All or nothing: true when every file of the pending entries is staged
    // and pending holds the entries and what comes with them.
    bool Unpack(DownLoadList& pending) {
        if (!ReadControlMembers()) return false;
        if (!(key_text_.empty() ? ReadPendingList(pending) : ReadSignedList(pending))) return false;
        if (!PlanStaging(pending)) return false;
        if (!key_text_.empty() && !ExpectSignedDigests(pending)) return false;
        if (Stage()) return true;
        Discard();
        return false;
    }

private:
    std::wstring TemporaryFile(std::wstring_view member) const {
        return text::CollapseSeparators(places_.temporary_directory + L"\\" + std::wstring(member));
    }

    bool Has(std::wstring_view member) const { return names_.count(text::Lower(std::wstring(member))) != 0; }

    // The lists the package carries, into the temporary directory, and every
    // name checked, in one walk.
    bool ReadControlMembers() {
        std::map<std::wstring, std::wstring> control = {
            {text::Lower(std::wstring(kPendingListMember)), pending_file_},
            {text::Lower(std::wstring(kSignedListMember)), signed_list_file_},
            {text::Lower(std::wstring(kSignatureMember)), signature_file_}};
        // Without a key, the patches a package may carry are named by its update list.
        if (key_text_.empty()) control[text::Lower(std::wstring(kUpdateListMember))] = update_list_file_;
        for (const auto& [name, file] : control) files::Delete(file);
        bool names_safe = true;
        const int walked = ForEachZipEntry(copy_, [&](const std::wstring& name) -> std::wstring {
            if (!MemberNameStaysInside(name)) {
                names_safe = names_safe && Damage(L"an entry leaves its folder: " + name);
                return L"";
            }
            // Two entries for one file would let the second replace what the first showed.
            if (!names_.insert(text::Lower(name)).second) {
                names_safe = names_safe && Damage(L"two entries have the name " + name);
                return L"";
            }
            const auto found = control.find(text::Lower(name));
            return found == control.end() ? L"" : found->second;
        });
        if (!names_safe) return false;
        if (walked != 0) return Damage(L"the archive cannot be read");
        return true;
    }

    bool ReadPendingList(DownLoadList& pending) {
        std::string bytes;
        if (!Has(kPendingListMember) || !files::ReadAll(pending_file_, bytes, kLargestPendingList))
            return Damage(L"the pending list is missing");
        if (!pending_list::Parse(bytes, pending)) return Damage(L"the pending list is damaged");
        if (!Has(kUpdateListMember)) return Damage(L"the update list is missing");
        unpack_to_[text::Lower(std::wstring(kUpdateListMember))] = places_.local_list_file;
        return true;
    }

    // The signed list as the check takes a fetched one: its signature, its
    // serial against the comparison copy, then the entries that differ from
    // that copy. The package's own pending list is not trusted.
    bool ReadSignedList(DownLoadList& pending) {
        const ListSignature signature = Has(kSignedListMember) && Has(kSignatureMember)
                                            ? VerifyListSignature(key_text_, signed_list_file_, signature_file_)
                                            : ListSignature::signature_missing;
        if (signature != ListSignature::verified) return Damage(ListRefusalText(signature));
        std::vector<updatefileinfo> entries;
        const auto log_error = [](const std::wstring& text) { WriteLog(text); };
        if (!ReadUpdateList(signed_list_file_, entries, true, pending, log_error))
            return Damage(L"its signed list cannot be read");
        ListVersions installed;
        std::uint64_t installed_serial = 0;
        ReadListVersions(text::CollapseSeparators(places_.application_directory + L"\\novamend.xml"), installed,
                         log_error, &installed_serial);
        if (pending.serial < installed_serial)
            return Damage(OlderListText() + L" (serial " + std::to_wstring(pending.serial) + L" < " +
                          std::to_wstring(installed_serial) + L")");
        pending.entries = MarkChangedEntries(entries, installed, false, {});
        pending.KeepFileHashesOfEntries();
        list_from_ = signed_list_file_;
        patch_list_ = &pending;
        return true;
    }

    // The list that names each entry's patches, size and sha256: the signed
    // one, or else the package's update list, read once a patch is needed.
    const DownLoadList* PatchList() {
        if (patch_list_) return patch_list_;
        std::vector<updatefileinfo> ignored;
        const auto log_error = [](const std::wstring& text) { WriteLog(text); };
        if (!ReadUpdateList(update_list_file_, ignored, true, update_list_, log_error)) return nullptr;
        return patch_list_ = &update_list_;
    }

    // The patch the package carries for an entry in place of its file, if any.
    const DownLoadList::FilePatch* CarriedPatch(const updatefileinfo& entry) {
        const DownLoadList* list = PatchList();
        if (!list) return nullptr;
        const auto named = list->file_patches.find(entry.path);
        if (named == list->file_patches.end()) return nullptr;
        for (const DownLoadList::FilePatch& patch : named->second)
            if (!IsReservedMember(MemberName(patch.path)) && Has(MemberName(patch.path))) return &patch;
        return nullptr;
    }

    // Where each file of the pending entries is staged, by archive name:
    // where the download step would leave it.
    bool PlanStaging(const DownLoadList& pending) {
        for (const updatefileinfo& entry : pending.entries) {
            if (!CarriesFile(entry)) continue;
            const std::optional<std::wstring> staged = StagedRelativePath(entry.path);
            if (!staged || EntryClimbsOut(entry)) return Damage(L"a list path leaves its folder: " + entry.path);
            const std::wstring name = text::Lower(MemberName(*staged));
            const std::wstring local = text::CollapseSeparators(places_.list_work_directory + L"\\" + *staged);
            finished_[local] = entry.ver;
            if (names_.count(name)) {
                unpack_to_[name] = local;
                entry_of_[name] = entry.path;
                continue;
            }
            const DownLoadList::FilePatch* patch = CarriedPatch(entry);
            if (!patch) return Damage(L"a file of the list is missing: " + entry.path);
            // The patch is checked and applied once everything is unpacked.
            const std::wstring patch_file = local + L"._.patch";
            unpack_to_[text::Lower(MemberName(patch->path))] = patch_file;
            patched_.push_back({entry, *patch, local, patch_file});
        }
        return true;
    }

    // What each file to be staged must hash to, from the signed list.
    bool ExpectSignedDigests(const DownLoadList& pending) {
        for (const auto& [name, path] : entry_of_) {
            ContentCheck& check = checks_[name];
            check.path = path;
            if (!SignedDigestOf(pending, path, check.expected)) return Damage(L"a file has no sha256: " + path);
        }
        return true;
    }

    bool UnpackedFilesMatch() {
        for (auto& [name, check] : checks_) {
            cng::Sha256Digest actual;
            if (!check.hash.Finish(actual) || actual != check.expected)
                return Damage(L"a file does not match its sha256: " + check.path);
        }
        return true;
    }

    // Unpacked, each file becomes a finished download of its entry's version.
    bool Stage() {
        const auto destination_for = [&](const std::wstring& name) -> std::wstring {
            const auto local = unpack_to_.find(text::Lower(name));
            return local == unpack_to_.end() ? L"" : local->second;
        };
        const auto hash_for = [&](const std::wstring& name) -> ZipEntryBytes {
            const auto found = checks_.find(text::Lower(name));
            if (found == checks_.end()) return {};
            return [&hash = found->second.hash](std::string_view block) {
                hash.Add(block);
                return true;
            };
        };
        const int walked = ForEachZipEntry(copy_, destination_for, hash_for);
        if (walked != 0) return Damage(L"an entry cannot be unpacked (" + std::to_wstring(walked) + L")");
        if (!UnpackedFilesMatch() || !ApplyPatches()) return false;
        for (const auto& [local, version] : finished_)
            if (!MarkFinished(local, version)) return Damage(L"cannot mark as finished: " + local);
        if (!list_from_.empty() && !files::ReplaceWithRetries(list_from_, places_.local_list_file))
            return Damage(L"cannot keep its list as " + places_.local_list_file);
        return true;
    }

    // Each carried patch turns the installed file into the entry's, held to
    // the same checks as a fetched patch. An installed file that is not the
    // version the patch is for (the user changed it) fails the package: the
    // file cannot be had without the server.
    bool ApplyPatches() {
        const DownLoadList* list = PatchList();
        if (!list) return patched_.empty();
        for (const PatchedFile& patched : patched_) {
            const std::wstring installed = EntryTargets(patched.entry, places_.application_directory).front();
            const auto fail = [&](const std::wstring& why) {
                return Damage(L"cannot patch " + patched.entry.path + L": " + why);
            };
            std::wstring installed_sha256;
            if (!Sha256TextOfFile(installed, installed_sha256)) return fail(L"cannot read " + installed);
            if (installed_sha256 != patched.patch.from)
                return fail(L"the installed file is not the version its patch is for: " + installed);
            const ExpectedContent expected = ExpectedContentOfPath(*list, patched.entry.path, !key_text_.empty());
            const std::wstring why =
                ApplyPatchFile(patched.patch, patched.patch_file, installed, expected, patched.local);
            if (!why.empty()) return fail(why);
        }
        return true;
    }

    void Discard() {
        // A signed list takes the local list's place only once all is staged.
        if (key_text_.empty()) files::Delete(places_.local_list_file);
        for (const auto& [local, version] : finished_) {
            files::Delete(local);
            DiscardFinished(local);
        }
        for (const PatchedFile& patched : patched_) files::Delete(patched.patch_file);
    }

    const OfflinePackagePlaces& places_;
    const std::wstring copy_;
    const std::wstring key_text_;
    const std::wstring pending_file_, signed_list_file_, signature_file_, update_list_file_;
    const DownLoadList* patch_list_ = nullptr;
    DownLoadList update_list_;  // read from update_list_file_ when a package without a key carries patches
    struct PatchedFile {
        updatefileinfo entry;
        DownLoadList::FilePatch patch;
        std::wstring local, patch_file;
    };
    std::vector<PatchedFile> patched_;
    std::wstring list_from_;  // a list that becomes the local list file once all is staged
    std::set<std::wstring> names_;
    std::map<std::wstring, std::wstring> unpack_to_;  // archive name, destination
    std::map<std::wstring, std::wstring> finished_;   // local path, version
    std::map<std::wstring, std::wstring> entry_of_;   // archive name of a file, its entry's path
    struct ContentCheck {
        std::wstring path;
        cng::Sha256Digest expected{};
        cng::Sha256 hash;
    };
    std::map<std::wstring, ContentCheck> checks_;  // by archive name; with a list key only
};
}  // namespace

OfflinePackageResult ProcessOfflinePackage(const OfflinePackagePlaces& places, DownLoadList& list) {
    unique_hfile executable(::CreateFileW(places.executable.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!executable) return OfflinePackageResult::None;
    const Trailer trailer = FindTrailer(executable.get());
    if (trailer.kind == TrailerKind::None) return OfflinePackageResult::None;
    if (trailer.kind == TrailerKind::Damaged) {
        Damage(L"the sizes in its trailer do not match the file");
        return OfflinePackageResult::Damaged;
    }

    files::CreateDirectoryLevels(places.temporary_directory);
    const std::wstring copy = text::CollapseSeparators(places.temporary_directory + L"\\__package4novamend.tmp");
    const bool copied = CopyPackageOut(executable.get(), trailer, copy);
    executable.reset();
    DownLoadList pending;
    const bool unpacked =
        copied ? PackageReader(places, copy).Unpack(pending) : Damage(L"it cannot be copied to " + copy);
    // Nothing reads the copy once its files are out, and it may be large.
    files::Delete(copy);
    if (!unpacked) return OfflinePackageResult::Damaged;
    TakePending(std::move(pending), list);
    // Kept with the list, as the check does, so an elevated copy finds the files.
    list.temporary_directory = places.list_work_directory;
    SplitOffDescriptionAndRuns(list.entries, list.description, list.run_commands);
    return OfflinePackageResult::Loaded;
}

}  // namespace nm
