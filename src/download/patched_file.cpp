#include "download/patched_file.h"

#include <string_view>

#include "base/file_ops.h"
#include "base/text.h"
#include "download/expected_content.h"
#include "download/fetch_file.h"
#include "download/finished_file.h"
#include "download/patch_application.h"
#include "download/segmented_download.h"
#include "services/log.h"
#include "services/process_services.h"

namespace nm {

namespace {
bool NotUsed(const std::wstring& entry_path, const std::wstring& why) {
    WriteLog(text::Format(TranslateMain(L"patch not used[%s]"), {entry_path}) + L" " + why);
    return false;
}
}  // namespace

bool FetchThroughPatch(DownLoadList& list, long row, const std::wstring& entry_path, const std::wstring& installed,
                       const std::wstring& local, const std::wstring& version, const FetchSettings& settings,
                       long connect_tries, HWND window) {
    const auto named = list.file_patches.find(entry_path);
    if (named == list.file_patches.end() || !files::Exists(installed)) return false;
    // The result is checked against the entry's bytes, so an entry that
    // names none is fetched whole.
    const ExpectedContent expected = ExpectedContentOf(list, row, settings.list_key_in_force);
    if (!expected.known || !expected.size) return NotUsed(entry_path, L"the entry names no sha256 and size");
    std::wstring installed_sha256;
    if (!Sha256TextOfFile(installed, installed_sha256)) return NotUsed(entry_path, L"cannot read " + installed);
    const DownLoadList::FilePatch* patch = nullptr;
    for (const DownLoadList::FilePatch& candidate : named->second)
        if (candidate.from == installed_sha256) patch = &candidate;
    if (!patch) return NotUsed(entry_path, L"no patch is for the installed file " + installed);

    updatefileinfo patch_entry;
    patch_entry.path = patch->path;
    const std::wstring url = list.EntryUrl(patch_entry);
    const std::wstring patch_local = local + L"._.patch";
    CSegmentedDownloader downloader;
    downloader.connections = settings.connections_per_file;
    downloader.connect_tries = connect_tries;
    downloader.size_limit = patch->size;
    if (!downloader.DownloadFile(url, patch_local, false, row, window))
        return NotUsed(entry_path, url + downloader.failure());
    const std::wstring finished = FinishedPath(local);
    if (const std::wstring why = ApplyPatchFile(*patch, patch_local, installed, expected, finished); !why.empty())
        return NotUsed(entry_path, why + L": " + url);
    if (!NoteFinishedVersion(local, version)) {
        files::Delete(finished);
        return NotUsed(entry_path, L"cannot note the version of " + finished);
    }
    WriteLog(text::Format(TranslateMain(L"patched[%s]"), {url}));
    return true;
}

}  // namespace nm
