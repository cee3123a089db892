#include "download/fetch_file.h"

#include <algorithm>

#include "base/file_ops.h"
#include "base/text.h"
#include "download/download_progress.h"
#include "download/segmented_download.h"
#include "install/zip_package.h"
#include "services/process_services.h"

namespace nm {

namespace {
long ClampedSetting(const wchar_t* key, long low, long high) {
    return std::clamp(Services().settings.ReadInteger(L"Novamend", key, L"8"), low, high);
}

std::wstring Note(const wchar_t* format, const std::wstring& what) { return text::Format(TranslateMain(format), {what}); }

// The finished name is the mark that a later pass or run trusts: a file
// that could not take it is not finished, and is not left half-marked.
bool MarkFinished(const std::wstring& local, const std::wstring& finished) {
    if (files::ReplaceWithRetries(local, finished)) return true;
    ::DeleteFileW(local.c_str());
    return false;
}
}  // namespace

long FilesAtOnce() { return ClampedSetting(L"threadcount", 1, 50); }
long ConnectionsPerFile() { return ClampedSetting(L"filethread", 1, 100); }

// One download attempt through the segmented downloader: 0 on success.
int FileFetcher::DownloadOnce(HWND window, long row, const std::wstring& url, const std::wstring& target,
                              bool no_retry) const {
    CSegmentedDownloader downloader;
    downloader.connections = ConnectionsPerFile();
    downloader.connect_tries = connect_tries_;
    downloader.on_file_bytes = [](std::int64_t size, std::int64_t received) {
        Services().hosts.NotifyFileBytes(size, received);
    };
    // A failed download leaves no target behind.
    if (!downloader.DownloadFile(url, target, no_retry, row, window)) return 1;
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    return 0;
}

int FileFetcher::Fetch(HWND window, long row, const std::wstring& url, const std::wstring& local,
                       bool no_retry) const {
    Settings& settings = Services().settings;
    const std::wstring finished = local + L"_";
    if (row >= 0 && files::Exists(finished)) {
        const LPARAM size = static_cast<LPARAM>(files::Size(finished));
        if (window) {
            ::SendMessageW(window, UM_FILESIZE, row, size);
            ::SendMessageW(window, UM_FILEDONE, row, size);
        }
        return 0;
    }
    files::CreateParentDirectories(local);

    bool archive = row >= 0 || settings.ReadSwitch(L"Novamend", L"ListFileZip", L"0");
    const std::wstring archive_path = local + L"._.zip";
    for (int attempt = 0; attempt < 2; ++attempt, archive = !archive) {
        const std::wstring source = archive ? url + L"._.zip" : url;
        const std::wstring destination = archive ? archive_path : local;
        if (DownloadOnce(window, row, source, destination, no_retry) != 0) {
            AppendEntryMessage(list_, row, Note(L"error[%s]", source));
            continue;
        }
        if (row < 0) settings.Write(L"Novamend", L"ListFileZip", archive ? L"1" : L"0");
        AppendEntryMessage(list_, row, Note(L"done[%s]", source));
        if (!archive) return row >= 0 && !MarkFinished(local, finished) ? 1 : 0;
        if (row >= 0 && !settings.ReadSwitch(L"Novamend", L"UnZip", L"1")) {
            // The archive stays as it is; there is no plain file to mark.
            return files::Exists(local) && !MarkFinished(local, finished) ? 1 : 0;
        }
        if (ExtractArchive(archive_path, local)) {
            const bool marked = row < 0 || MarkFinished(local, finished);
            AppendEntryMessage(list_, row, Note(L"unzip ok[%s]", archive_path));
            ::DeleteFileW(archive_path.c_str());
            return marked ? 0 : 1;
        }
        AppendEntryMessage(list_, row, Note(L"unzip error[%s]", archive_path));
        ::DeleteFileW(archive_path.c_str());
        ::DeleteFileW(local.c_str());
        // The next attempt takes the plain file.
    }
    return 1;
}

}  // namespace nm
