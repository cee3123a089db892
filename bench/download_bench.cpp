// download_bench: our downloader alone, for the side-by-side benchmark.
//   download_bench.exe file <url list> <out dir>   each URL with DownloadFile, 8 connections
//   download_bench.exe step <url list> <out dir>   all URLs in one DownloadStep (8 files at once)
// Files land in <out dir> under the last part of their URL. For the profile
// of one large file, the pieces a download is made of, each alone:
//   download_bench.exe size <url list> <out dir>    only the size query of each URL
//   download_bench.exe read <url list> <out dir>    one GET of each URL read to its end
//                                                   in 64 KiB reads, nothing kept
//   download_bench.exe write <url list> <out dir>   no network: the file's bytes written
//                                                   as parts in 64 KiB writes, then joined
// Each prints its milliseconds.
//   download_bench.exe threads <count> -             what <count> idle threads cost:
//                                                   the peak working set before and with them
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/steps/download_step.h"
#include "app/update_app.h"
#include "base/text.h"
#include "download/http_session.h"
#include "download/segmented_download.h"
#include "download/thread_values.h"
#include "process_meter.h"

namespace {

std::vector<std::wstring> ReadUrls(const std::wstring& file) {
    std::ifstream in(file.c_str());
    std::vector<std::wstring> urls;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) urls.push_back(nm::text::FromUtf8(line));
    return urls;
}

std::wstring NameOf(const std::wstring& url) { return url.substr(url.find_last_of(L'/') + 1); }

constexpr DWORD kChunk = 64 * 1024;

// A GET read to its end, so that closing the request leaves nothing unread.
bool ReadWhole(const std::wstring& url, std::int64_t* size) {
    nm::unique_hinternet session = nm::OpenSession(nm::NextDownloadAgent());
    if (!session) return false;
    nm::unique_hinternet request = nm::OpenRequest(session.get(), url, L"");
    if (!request) return false;
    std::vector<char> buffer(kChunk);
    *size = 0;
    for (DWORD got = 1; got > 0;) {
        if (!::InternetReadFile(request.get(), buffer.data(), kChunk, &got)) return false;
        *size += got;
    }
    return true;
}

// What the disk side of a segmented download costs: `size` bytes written as
// part files of `segments` pieces in 64 KiB writes, flushed, then appended
// into the target and flushed, the parts deleted.
bool WriteAndJoin(const std::wstring& target, std::int64_t size, int segments) {
    std::vector<char> buffer(kChunk, 'x');
    const std::int64_t share = (size + segments - 1) / segments;
    auto part = [&](int i) { return target + L".part" + std::to_wstring(i); };
    for (int i = 0; i < segments; ++i) {
        nm::unique_hfile out(
            ::CreateFileW(part(i).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out) return false;
        for (std::int64_t left = std::min(share, size - share * i); left > 0; left -= kChunk) {
            DWORD written = 0;
            ::WriteFile(out.get(), buffer.data(), static_cast<DWORD>(std::min<std::int64_t>(left, kChunk)), &written,
                        nullptr);
        }
        ::FlushFileBuffers(out.get());
    }
    {
        nm::unique_hfile out(
            ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out) return false;
        for (int i = 0; i < segments; ++i) {
            nm::unique_hfile in(::CreateFileW(part(i).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
            DWORD got = 0, written = 0;
            while (in && ::ReadFile(in.get(), buffer.data(), kChunk, &got, nullptr) && got > 0)
                ::WriteFile(out.get(), buffer.data(), got, &written, nullptr);
        }
        ::FlushFileBuffers(out.get());
    }
    for (int i = 0; i < segments; ++i) ::DeleteFileW(part(i).c_str());
    return ::DeleteFileW(target.c_str()) != FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    const std::wstring mode = argv[1], out = argv[3];
    const std::vector<std::wstring> urls = ReadUrls(argv[2]);
    nm::CUpdateApp& app = nm::theApp();
    app.settings.SetApplicationDirectory(out + L"\\");
    std::ofstream((out + L"\\novamend.ini").c_str()) << "[Novamend]\r\nthreadcount=8\r\nfilethread=8\r\n";

    if (mode == L"size" || mode == L"read" || mode == L"write") {
        for (const auto& url : urls) {
            const double size_start = bench::Now();
            const std::int64_t size = nm::QueryRemoteSize(url);
            const double size_ms = bench::Now() - size_start;
            if (size < 1) return 1;
            const double start = bench::Now();
            if (mode == L"read") {
                std::int64_t read = 0;
                if (!ReadWhole(url, &read) || read != size) return 1;
            }
            if (mode == L"write" && !WriteAndJoin(out + L"\\" + NameOf(url), size, 11)) return 1;
            std::wprintf(L"size query %.0f ms, %ls %.0f ms\n", size_ms, mode.c_str(), bench::Now() - start);
        }
        return 0;
    }
    if (mode == L"threads") {
        const unsigned long long before = bench::PeakWorkingSet();
        const int count = _wtoi(argv[2]);
        std::vector<nm::unique_handle> threads;
        for (int i = 0; i < count; ++i)
            threads.emplace_back(::CreateThread(
                nullptr, 0,
                [](void*) -> DWORD {
                    ::Sleep(500);
                    return 0;
                },
                nullptr, 0, nullptr));
        ::Sleep(200);
        std::wprintf(L"peak %llu KiB before, %llu KiB with %d threads\n", before / 1024, bench::PeakWorkingSet() / 1024,
                     count);
        for (auto& thread : threads) ::WaitForSingleObject(thread.get(), INFINITE);
        return 0;
    }
    if (mode == L"table") {
        // The thread value table as one large file uses it: one locked
        // update per 64 KiB read (64 block reports), and an abort check per block.
        const std::int64_t size = 256ll << 20;
        const int file_id = static_cast<int>(nm::thread_values::Add(nm::thread_values::kLastFileId, 0, 1));
        const std::vector<std::int64_t> deltas(64, 1024);
        std::vector<std::int64_t> file_bytes(64), segment_bytes(64);
        const double start = bench::Now();
        long checks = 0;
        for (std::int64_t done = 0; done < size; done += 64 * 1024) {
            nm::thread_values::AddSeries(nm::thread_values::kFileReceived, nm::thread_values::kSegmentReceived, file_id,
                                         deltas.data(), deltas.size(), size, file_bytes.data(), segment_bytes.data());
            for (int i = 0; i < 64; ++i) checks += nm::thread_values::AbortMarked(file_id);
        }
        std::wprintf(L"table %.0f ms (%ld aborts)\n", bench::Now() - start, checks);
        return 0;
    }
    if (mode == L"file") {
        for (const auto& url : urls) {
            nm::CSegmentedDownloader downloader;
            downloader.connections = 8;
            if (!downloader.DownloadFile(url, out + L"\\" + NameOf(url), false, -1, nullptr)) return 1;
        }
    } else {
        // Entries are staged below the list's work directory under their paths.
        app.list.temporary_directory = out;
        for (const auto& url : urls) {
            nm::updatefileinfo entry;
            entry.url = url;
            entry.path = NameOf(url);
            entry.ver = L"1";
            app.list.entries.push_back(entry);
        }
        nm::DownloadStep(app.context, nullptr);
        // Finished files keep their completion mark; the comparison reads them under it.
        if (app.context.download.finished != static_cast<long>(urls.size())) return 1;
    }
    DeleteFileW((out + L"\\novamend.ini").c_str());
    return 0;
}
