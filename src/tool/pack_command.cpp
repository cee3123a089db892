// portable: builds without Win32
// pack: an offline update package, a copy of the updater that carries a
// release, for machines that cannot reach the update server.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>

#include "base/file_ops.h"
#include "base/scope_guard.h"
#include "base/text.h"
#include "base/hex.h"
#include "download/expected_content.h"
#include "download/offline_package_rules.h"
#include "install/zip_package.h"
#include "list/list_compare.h"
#include "list/pending_list.h"
#include "list/staged_path.h"
#include "list/update_list_reader.h"
#include "services/embedded_settings.h"
#include "tool/dos_time.h"
#include "tool/file_digest.h"
#include "tool/list_signature_check.h"
#include "tool/reader_apartment.h"
#include "tool/tool_commands.h"
#include "tool/vendor_settings.h"

namespace nm::tool {

namespace {
using namespace offline_package;

constexpr std::int64_t kLargestList = 1024LL * 1024 * 1024;
// A signature file is a hundred bytes of text.
constexpr std::int64_t kLargestSignature = 64 * 1024;

int Refuse(const std::wstring& what) {
    std::fwprintf(stderr, L"novamend-tool pack: %ls\n", what.c_str());
    return 1;
}

void PrintListError(const std::wstring& text) { std::fwprintf(stderr, L"novamend-tool pack: %ls\n", text.c_str()); }

// The sha256 of a file as lists write it.
bool Sha256TextOf(const std::wstring& path, std::wstring& sha256) {
    sha256::Digest digest;
    std::uint64_t size = 0;
    if (!DigestOfFile(path, digest, size)) return false;
    sha256 = hex::EncodeDigest(digest);
    return true;
}

struct PackedFile {
    std::wstring name;        // in the archive
    std::wstring file;        // in the release
    std::wstring entry_path;  // in the list
    // A patch carried in place of the file: its sha256 in the list, checked
    // when the patch was chosen; empty for a whole file.
    std::wstring patch_sha256;
};

// What goes into the package: the entries to install and, for each file of
// them, where the release holds it; for a signed release, the list exactly
// as signed and its signature.
struct Contents {
    DownLoadList pending;
    std::vector<PackedFile> files;
    std::string signed_list, signature;
    // The updater verifies what it unpacks: a file that differs from the
    // list's sha256 would make it refuse the package.
    bool check_files = false;
};

// Where the comparison copy gives the sha256 of the installed version and
// the release holds a patch from it that is smaller than the file, the
// package carries the patch instead. A patch that is not in the release as
// the list names it is passed over, saying why: the whole file goes.
void CarryPatch(const std::wstring& release, const DownLoadList& installed_list, const DownLoadList& list,
                std::set<std::wstring>& names, PackedFile& packed) {
    const auto installed = installed_list.file_hashes.find(packed.entry_path);
    const auto named = list.file_patches.find(packed.entry_path);
    if (installed == installed_list.file_hashes.end() || named == list.file_patches.end()) return;
    for (const DownLoadList::FilePatch& patch : named->second) {
        if (patch.from != text::Lower(installed->second)) continue;
        const std::wstring name = MemberName(patch.path);
        const std::wstring file = text::CollapseSeparators(release + L"\\" + patch.path);
        std::wstring sha256;
        const wchar_t* passed_over = nullptr;
        if (!MemberNameStaysInside(name) || IsReservedMember(name) || names.count(text::Lower(name)))
            passed_over = L"its name cannot go into the package";
        else if (files::Size(file) != patch.size || !Sha256TextOf(file, sha256) || sha256 != patch.sha256)
            passed_over = L"it is not in the release with the size and sha256 the list gives";
        else if (patch.size >= files::Size(packed.file).value_or(0))
            passed_over = L"it is no smaller than the file";
        if (passed_over) {
            std::fwprintf(stdout, L"novamend-tool pack: %ls goes whole, its patch %ls is passed over: %ls\n",
                          packed.entry_path.c_str(), file.c_str(), passed_over);
            continue;
        }
        names.insert(text::Lower(name));
        packed = {name, file, packed.entry_path, patch.sha256};
        return;
    }
}

// Reads the list (and the comparison copy) from scratch copies: reading
// drops a list's guid and saves the file, as the updater does with what it
// fetches, and the vendor's files stay as they are.
int ReadContents(const std::wstring& list_path, const std::wstring& release, const std::wstring& against,
                 const std::wstring& scratch_list, Contents& contents) {
    if (!files::CopyReplacing(list_path, scratch_list)) return CannotRead(L"pack", L"an update list", list_path);
    std::vector<updatefileinfo> entries;
    if (!ReadUpdateList(scratch_list, entries, true, contents.pending, PrintListError))
        return Refuse(L"not an update list: " + list_path);
    // The entries the check would mark on a machine that has this copy, or
    // no copy at all.
    ListVersions installed;
    DownLoadList installed_list;  // the sha256 of each installed file, where the copy gives it
    if (!against.empty()) {
        const std::wstring scratch_copy = scratch_list + L".against";
        remove_unless_kept remove_copy(scratch_copy);
        std::vector<updatefileinfo> ignored;
        if (!files::CopyReplacing(against, scratch_copy) ||
            !ReadListVersions(scratch_copy, installed, PrintListError) ||
            (!contents.pending.file_patches.empty() &&
             !ReadUpdateList(scratch_copy, ignored, true, installed_list, PrintListError)))
            return Refuse(L"not an update list: " + against);
    }
    entries = MarkChangedEntries(entries, installed, false, {});
    SplitOffDescriptionAndRuns(entries, contents.pending.description, contents.pending.run_commands);
    contents.pending.entries = std::move(entries);
    if (contents.pending.entries.empty())
        return Refuse(against.empty() ? L"no entry with a version in " + list_path
                                      : L"nothing to pack: no entry differs from " + against);

    // Each file at the place it is staged in the work directory, which is its
    // list path with a macro or a drive as a folder ("{desktop}", "{C}").
    std::set<std::wstring> names;
    for (const updatefileinfo& entry : contents.pending.entries) {
        if (!CarriesFile(entry)) continue;
        const std::optional<std::wstring> staged = StagedRelativePath(entry.path);
        const std::wstring name = staged ? MemberName(*staged) : L"";
        if (!staged || EntryClimbsOut(entry) || IsReservedMember(name) || !MemberNameStaysInside(name))
            return Refuse(L"a list path that cannot be packed: " + entry.path);
        const std::wstring file = text::CollapseSeparators(release + L"\\" + *staged);
        if (!files::Exists(file) || files::IsDirectory(file))
            return Refuse(L"missing in the release: " + entry.path + L" (" + file + L")");
        if (names.insert(text::Lower(name)).second) contents.files.push_back({name, file, entry.path, L""});
    }
    for (PackedFile& packed : contents.files) CarryPatch(release, installed_list, contents.pending, names, packed);
    return 0;
}

// A list with its ".sig" beside it travels with its signature. An updater
// with a ListPublicKey refuses a package without one, or with one that its
// key does not verify: such a package is not made.
int ReadSignature(const std::wstring& updater, const std::wstring& list_path, const std::wstring& scratch,
                  Contents& contents) {
    const std::wstring signature = list_path + L".sig";
    const std::wstring key = EmbeddedSettingOf(updater, L"UPDATEINFO", L"ListPublicKey", scratch);
    const bool signed_list = files::Exists(signature);
    if (!key.empty() && !ListKeyUsable(key))
        return Refuse(L"the updater's ListPublicKey is not a valid key: " + updater);
    if (!key.empty() && !signed_list)
        return Refuse(L"the updater accepts signed lists only (ListPublicKey), and " + list_path +
                      L" is not signed: no " + signature + L" (novamend-tool sign KEY_FILE LIST)");
    if (!signed_list) return 0;
    if (!key.empty() && CheckListSignature(key, list_path, signature) != ListSignature::verified)
        return Refuse(signature + L" is not a signature of " + list_path + L" by the updater's ListPublicKey");
    if (!files::ReadAll(list_path, contents.signed_list, kLargestList))
        return CannotRead(L"pack", L"an update list", list_path, kLargestList);
    if (!files::ReadAll(signature, contents.signature, kLargestSignature))
        return CannotRead(L"pack", L"a list signature", signature, kLargestSignature);
    contents.check_files = !key.empty();
    return 0;
}

// Every member made from the list carries the list's time, so that the same
// release packs into the same bytes, whenever and with either tool.
int WriteArchive(const Contents& contents, const std::wstring& list_path, const std::wstring& scratch_list,
                 const std::wstring& archive) {
    ZipWriter zip(archive);
    const std::uint32_t list_time = DosTimeOfFile(list_path);
    const std::string pending = pending_list::Serialise(contents.pending);
    std::string list;
    const auto whole = [](std::string_view bytes) {
        return [bytes](const ZipWriter::AppendBytes& append) { return append(bytes); };
    };
    if (!files::ReadAll(scratch_list, list, kLargestList)) return Fail(L"pack", L"cannot read", scratch_list);
    if (!zip.Add(std::wstring(kPendingListMember), whole(pending), list_time) ||
        !zip.Add(std::wstring(kUpdateListMember), whole(list), list_time))
        return Fail(L"pack", L"cannot write", archive);
    if (!contents.signature.empty() &&
        (!zip.Add(std::wstring(kSignedListMember), whole(contents.signed_list), list_time) ||
         !zip.Add(std::wstring(kSignatureMember), whole(contents.signature), list_time)))
        return Fail(L"pack", L"cannot write", archive);
    for (const PackedFile& packed : contents.files) {
        sha256::Hasher hash;
        const auto hashed = [&](const ZipWriter::AppendBytes& append) {
            return files::ReadInBlocks(packed.file, [&](std::string_view block) {
                hash.Add(block);
                return append(block);
            });
        };
        if (!zip.Add(packed.name, hashed, DosTimeOfFile(packed.file)))
            return Fail(L"pack", L"cannot pack", packed.file);
        // A patch was checked against its sha256 when it was chosen.
        if (!packed.patch_sha256.empty()) continue;
        sha256::Digest expected;
        if (contents.check_files && !SignedDigestOf(contents.pending, packed.entry_path, expected))
            return Refuse(L"the list gives no sha256 for " + packed.entry_path);
        if (contents.check_files && hash.Finish() != expected)
            return Refuse(L"differs from its sha256 in the list: " + packed.file);
    }
    return zip.Close() ? 0 : Fail(L"pack", L"cannot write", archive);
}

// The updater, the archive right after it and the trailer that finds it.
int Assemble(const std::wstring& updater, const std::wstring& archive, bool difference, const std::wstring& out) {
    const std::int64_t updater_size = files::Size(updater).value_or(0), archive_size = files::Size(archive).value_or(0);
    if (updater_size <= 0) return Fail(L"pack", L"cannot read the updater", updater);
    if (archive_size <= 0) return Fail(L"pack", L"cannot read", archive);
    if (updater_size + archive_size + static_cast<std::int64_t>(kTrailerBytes) > 0xFFFFFFFFLL)
        return Refuse(L"the package would exceed 4 GiB");
    const std::string trailer =
        MakeTrailer(static_cast<std::uint32_t>(updater_size), static_cast<std::uint32_t>(archive_size), difference);
    if (!files::WriteInPieces(out, [&](const auto& write) {
            return files::ReadInBlocks(updater, write) && files::ReadInBlocks(archive, write) && write(trailer);
        }))
        return Fail(L"pack", L"cannot write", out);
    return 0;
}
}  // namespace

int Pack(const Arguments& args) {
    std::vector<std::wstring> words;
    std::wstring against;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == L"--against" && i + 1 < args.size())
            against = args[++i];
        else
            words.push_back(args[i]);
    }
    if (words.size() != 4) {
        std::fwprintf(stderr, L"usage: novamend-tool pack UPDATER LIST RELEASE_DIR OUT [--against COMPARISON_COPY]\n");
        return 2;
    }
    const std::wstring &updater = words[0], &list = words[1], &release = words[2], &out = words[3];
    if (const std::wstring fault = UpdaterFault(updater); !fault.empty()) return Refuse(fault);
    const ReaderApartment apartment;
    const std::wstring scratch_list = out + L".__list.xml", archive = out + L".__zip.tmp";
    remove_unless_kept remove_list(scratch_list), remove_archive(archive), remove_out(out);
    Contents contents;
    if (int failed = ReadContents(list, release, against, scratch_list, contents)) return failed;
    if (int failed = ReadSignature(updater, list, out + L".__settings.ini", contents)) return failed;
    if (int failed = WriteArchive(contents, list, scratch_list, archive)) return failed;
    if (int failed = Assemble(updater, archive, !against.empty(), out)) return failed;
    remove_out.keep();
    const size_t patches = std::count_if(contents.files.begin(), contents.files.end(),
                                         [](const PackedFile& packed) { return !packed.patch_sha256.empty(); });
    std::fwprintf(stdout, L"novamend-tool pack: %ls: %zu entries, %zu files%ls%ls\n", out.c_str(),
                  contents.pending.entries.size(), contents.files.size(),
                  patches ? (L" (" + std::to_wstring(patches) + L" as patches)").c_str() : L"",
                  contents.signature.empty() ? L"" : L", with the list's signature");
    return 0;
}

}  // namespace nm::tool
