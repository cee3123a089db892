// check_bench: the check step alone, in a process of its own so that the
// peak memory belongs to it:
//   check_bench.exe check <application dir>   the whole CheckStep: fetch the
//       list named by ListURL in the directory's novamend.ini, read it and
//       the directory's novamend.xml, compare, split
//   check_bench.exe fetch <application dir>   only the list fetch the check makes
//   check_bench.exe local <application dir>   the check without its fetch: the list
//       is fetched first, untimed, and the check compares it as it does in
//       quick mode (the list an earlier run fetched)
//   check_bench.exe parts <application dir>   where the check's time goes: the
//       pieces of its work after the fetch, each timed on its own (printed to
//       stderr)
// Prints: mode marked-entries wall-ms cpu-ms peak-working-set-bytes
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/steps/check_step.h"
#include "app/steps/download_step.h"
#include "app/update_app.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "list/list_compare.h"
#include "list/update_list_reader.h"
#include "process_meter.h"

namespace {

// The pieces of the check after the fetch, as the check runs them.
long TimeParts(const std::wstring& list_file, const std::wstring& copy) {
    double mark = bench::Now();
    auto lap = [&mark](const wchar_t* what) {
        const double now = bench::Now();
        std::fwprintf(stderr, L"%ls %.0f ms\n", what, now - mark);
        mark = now;
    };
    long marked = 0;
    {
        std::vector<nm::updatefileinfo> fetched;
        nm::ReadUpdateList(list_file, fetched, true, nm::theApp().list);
        lap(L"read list");
        nm::ListVersions installed;
        nm::ReadListVersions(copy, installed);
        lap(L"read copy");
        std::vector<nm::updatefileinfo> entries =
            nm::MarkChangedEntries(fetched, installed, false, [](const nm::updatefileinfo&) { return false; });
        lap(L"compare");
        std::wstring description;
        std::vector<std::wstring> runs;
        nm::SplitOffDescriptionAndRuns(entries, description, runs);
        marked = static_cast<long>(entries.size());
        lap(L"split");
    }
    lap(L"free entries");
    return marked;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: check_bench check|fetch|local <application dir>\n");
        return 2;
    }
    const std::wstring mode = argv[1];
    nm::com_apartment com;
    nm::CUpdateApp& app = nm::theApp();
    app.settings.SetApplicationDirectory(std::wstring(argv[2]) + L"\\");
    const std::wstring address = app.settings.Read(L"UPDATEINFO", L"ListURL");
    const std::wstring list_file = app.settings.LocalListFile();
    ::DeleteFileW(list_file.c_str());

    if (mode == L"local" || mode == L"parts") {
        ::DeleteFileW((list_file + L".xml").c_str());
        if (!nm::FetchFile(app.context, nullptr, -1, address, list_file, false)) return 1;
        // The quick check compares what was fetched just now.
        app.context.run_mode = nm::RunMode::CheckForUpdates;
        if (mode == L"parts") {
            const long marked = TimeParts(
                list_file, nm::text::CollapseSeparators(app.settings.ApplicationDirectory() + L"\\novamend.xml"));
            std::wprintf(L"parts %ld\n", marked);
            return 0;
        }
    }

    long marked = -1;
    const double start = bench::Now(), cpu_start = bench::CpuNow();
    if (mode == L"check" || mode == L"local") {
        if (nm::CheckStep(app.context, nullptr)) marked = static_cast<long>(app.list.entries.size());
    } else if (mode == L"fetch") {
        if (nm::FetchFile(app.context, nullptr, -1, address, list_file, false)) marked = 0;
    }
    const double elapsed = bench::Now() - start, cpu = bench::CpuNow() - cpu_start;
    std::wprintf(L"%ls %ld %.1f %.1f %llu\n", mode.c_str(), marked, elapsed, cpu, bench::PeakWorkingSet());
    return marked < 0 ? 1 : 0;
}
