// download_bench: our downloader alone, for the side-by-side benchmark.
//   download_bench.exe file <url list> <out dir>   each URL with DownloadFile, 8 connections
//   download_bench.exe step <url list> <out dir>   all URLs in one DownloadStep (8 files at once)
// Files land in <out dir> under the last part of their URL.
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/update_app.h"
#include "base/text.h"
#include "download/download_step.h"
#include "download/segmented_download.h"

namespace {

std::vector<std::wstring> ReadUrls(const std::wstring& file) {
    std::ifstream in(file.c_str());
    std::vector<std::wstring> urls;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) urls.push_back(nm::text::FromUtf8(line));
    return urls;
}

std::wstring NameOf(const std::wstring& url) { return url.substr(url.find_last_of(L'/') + 1); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    const std::wstring mode = argv[1], out = argv[3];
    const std::vector<std::wstring> urls = ReadUrls(argv[2]);
    nm::CUpdateApp& app = nm::theApp();
    app.settings.SetApplicationDirectory(out + L"\\");
    std::ofstream((out + L"\\novamend.ini").c_str()) << "[Novamend]\r\nthreadcount=8\r\nfilethread=8\r\n";

    if (mode == L"file") {
        for (const auto& url : urls) {
            nm::CSegmentedDownloader downloader;
            downloader.connections = 8;
            if (!downloader.DownloadFile(url, out + L"\\" + NameOf(url), false, -1, nullptr)) return 1;
        }
    } else {
        for (const auto& url : urls) {
            nm::updatefileinfo entry;
            entry.url = url;
            entry.path = out + L"\\" + NameOf(url);
            entry.ver = L"1";
            app.list.entries.push_back(entry);
        }
        nm::DownloadStep(nullptr);
        if (nm::DownloadStepFinishedCount() != static_cast<long>(urls.size())) return 1;
        // Finished files carry the completion mark; the comparison wants plain names.
        for (const auto& url : urls) {
            const std::wstring path = out + L"\\" + NameOf(url);
            MoveFileW((path + L"_").c_str(), path.c_str());
        }
    }
    DeleteFileW((out + L"\\novamend.ini").c_str());
    return 0;
}
