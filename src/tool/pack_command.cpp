// pack: an offline update package, a copy of the updater that carries a
// release, for machines that cannot reach the update server.
#include <windows.h>

#include <cstdio>
#include <optional>
#include <set>

#include "base/file_ops.h"
#include "base/scope_guard.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "download/offline_package_rules.h"
#include "install/zip_package.h"
#include "list/list_compare.h"
#include "list/pending_list.h"
#include "list/staged_path.h"
#include "list/update_list_reader.h"
#include "tool/tool_commands.h"

namespace nm::tool {

namespace {
using namespace offline_package;

constexpr std::int64_t kLargestList = 1024LL * 1024 * 1024;

int Refuse(const std::wstring& what) {
    std::fwprintf(stderr, L"novamend-tool pack: %ls\n", what.c_str());
    return 1;
}

void PrintListError(const std::wstring& text) { std::fwprintf(stderr, L"novamend-tool pack: %ls\n", text.c_str()); }

std::uint32_t DosTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    FILETIME local{};
    WORD date = 0, time = 0;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        !::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !::FileTimeToDosDateTime(&local, &date, &time))
        return 0;
    return (static_cast<std::uint32_t>(date) << 16) | time;
}

std::uint32_t Now() {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    FILETIME local{};
    WORD date = 0, time = 0;
    ::FileTimeToLocalFileTime(&now, &local);
    ::FileTimeToDosDateTime(&local, &date, &time);
    return (static_cast<std::uint32_t>(date) << 16) | time;
}

// What goes into the package: the entries to install and, for each file of
// them, where the release holds it.
struct Contents {
    DownLoadList pending;
    std::vector<std::pair<std::wstring, std::wstring>> files;  // archive name, release file
};

// Reads the list (and the comparison copy) from scratch copies: reading
// drops a list's guid and saves the file, as the updater does with what it
// fetches, and the vendor's files stay as they are.
int ReadContents(const std::wstring& list_path, const std::wstring& release, const std::wstring& against,
                 const std::wstring& scratch_list, Contents& contents) {
    if (!::CopyFileW(list_path.c_str(), scratch_list.c_str(), FALSE))
        return Fail(L"pack", L"cannot read the list", list_path);
    std::vector<updatefileinfo> entries;
    if (!ReadUpdateList(scratch_list, entries, true, contents.pending, PrintListError))
        return Refuse(L"not an update list: " + list_path);
    // The entries the check would mark on a machine that has this copy, or
    // no copy at all.
    ListVersions installed;
    if (!against.empty()) {
        const std::wstring scratch_copy = scratch_list + L".against";
        remove_unless_kept remove_copy(scratch_copy);
        if (!::CopyFileW(against.c_str(), scratch_copy.c_str(), FALSE) ||
            !ReadListVersions(scratch_copy, installed, PrintListError))
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
        const DWORD attributes = ::GetFileAttributesW(file.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return Refuse(L"missing in the release: " + entry.path + L" (" + file + L")");
        if (names.insert(text::Lower(name)).second) contents.files.emplace_back(name, file);
    }
    return 0;
}

int WriteArchive(const Contents& contents, const std::wstring& scratch_list, const std::wstring& archive) {
    ZipWriter zip(archive);
    const std::string pending = pending_list::Serialise(contents.pending);
    std::string list;
    const auto whole = [](std::string_view bytes) {
        return [bytes](const ZipWriter::AppendBytes& append) { return append(bytes); };
    };
    if (!files::ReadAll(scratch_list, list, kLargestList)) return Fail(L"pack", L"cannot read", scratch_list);
    if (!zip.Add(std::wstring(kPendingListMember), whole(pending), Now()) ||
        !zip.Add(std::wstring(kUpdateListMember), whole(list), DosTime(scratch_list)))
        return Fail(L"pack", L"cannot write", archive);
    for (const auto& [name, file] : contents.files)
        if (!zip.Add(name, [&](const ZipWriter::AppendBytes& append) { return files::ReadInBlocks(file, append); },
                     DosTime(file)))
            return Fail(L"pack", L"cannot pack", file);
    return zip.Close() ? 0 : Fail(L"pack", L"cannot write", archive);
}

// The updater, the archive right after it and the trailer that finds it.
int Assemble(const std::wstring& updater, const std::wstring& archive, bool difference, const std::wstring& out) {
    const std::int64_t updater_size = files::Size(updater), archive_size = files::Size(archive);
    if (updater_size <= 0) return Fail(L"pack", L"cannot read the updater", updater);
    if (archive_size <= 0) return Fail(L"pack", L"cannot read", archive);
    if (updater_size + archive_size + static_cast<std::int64_t>(kTrailerBytes) > 0xFFFFFFFFLL)
        return Refuse(L"the package would exceed 4 GiB");
    unique_hfile file(::CreateFileW(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
    if (!file) return Fail(L"pack", L"cannot create", out);
    const auto write = [&](std::string_view bytes) {
        DWORD written = 0;
        return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    };
    const std::string trailer = MakeTrailer(static_cast<std::uint32_t>(updater_size),
                                            static_cast<std::uint32_t>(archive_size), difference);
    if (!files::ReadInBlocks(updater, write) || !files::ReadInBlocks(archive, write) || !write(trailer))
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
    com_apartment com;
    const std::wstring scratch_list = out + L".__list.xml", archive = out + L".__zip.tmp";
    remove_unless_kept remove_list(scratch_list), remove_archive(archive), remove_out(out);
    Contents contents;
    if (int failed = ReadContents(list, release, against, scratch_list, contents)) return failed;
    if (int failed = WriteArchive(contents, scratch_list, archive)) return failed;
    if (int failed = Assemble(updater, archive, !against.empty(), out)) return failed;
    remove_out.keep();
    std::fwprintf(stdout, L"novamend-tool pack: %ls: %zu entries, %zu files\n", out.c_str(),
                  contents.pending.entries.size(), contents.files.size());
    return 0;
}

}  // namespace nm::tool
