// Runs one transfer-layer operation for the end-to-end scenarios and writes
// what happened to a result file ("key=value" lines, UTF-8):
//   download_probe download URL TARGET RESULT [connections=N] [trycount=N] [noretry] [row=N] [nowindow]
//   download_probe size URL RESULT [trycount=N]
//   download_probe fetch URL OUTPUT RESULT
//   download_probe extract ARCHIVE DESTINATION RESULT [hold]
//   download_probe version RESULT WAIT_MS   (the check by version number; what
//       the list and the state hold at its end and WAIT_MS later)
// A download is watched by a window of this process: every progress message
// it receives is written as "message=NUMBER,WPARAM,LPARAM" in arrival order.
// Proxy error reports are written as "proxy_error=TEXT" lines.
// The application directory (and so the settings file) is the folder of the
// result file.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/steps/check_step.h"
#include "app/update_app.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "download/http_session.h"
#include "download/segmented_download.h"
#include "install/zip_package.h"
#include "services/update_state.h"
#include "test_files.h"

namespace {

struct Message {
    UINT number;
    WPARAM wparam;
    LPARAM lparam;
};

std::vector<Message> received_messages;
// Proxy errors are recorded instead of shown: a modal box would wait forever.
std::vector<std::wstring> proxy_errors;

LRESULT CALLBACK WatchProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case nm::UM_FILESIZE:
    case nm::UM_FILEDONE:
    case nm::UM_FILETHREADS:
    case nm::UM_SEGDONE:
    case nm::UM_SEGSIZE:
        received_messages.push_back({message, wparam, lparam});
        return 0;
    default:
        return ::DefWindowProcW(window, message, wparam, lparam);
    }
}

HWND CreateWatchWindow() {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = WatchProc;
    window_class.hInstance = ::GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"NovamendDownloadProbe";
    ::RegisterClassW(&window_class);
    return ::CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             window_class.hInstance, nullptr);
}

// Runs work on another thread while this one delivers the window's messages.
template <typename Work>
void RunWithMessages(Work work) {
    struct Context {
        Work* work;
    } context{&work};
    nm::unique_handle thread(::CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            (*static_cast<Context*>(p)->work)();
            return 0;
        },
        &context, 0, nullptr));
    for (;;) {
        HANDLE running = thread.get();
        const DWORD wait = ::MsgWaitForMultipleObjects(1, &running, FALSE, INFINITE, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0) break;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    }
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

std::wstring Option(const std::vector<std::wstring>& args, const std::wstring& name, const std::wstring& fallback) {
    for (const auto& arg : args)
        if (arg.rfind(name + L"=", 0) == 0) return arg.substr(name.size() + 1);
    return fallback;
}

bool Flag(const std::vector<std::wstring>& args, const std::wstring& name) {
    for (const auto& arg : args)
        if (arg == name) return true;
    return false;
}

class Result {
public:
    void Add(const std::string& key, const std::string& value) { text_ += key + "=" + value + "\n"; }
    void Add(const std::string& key, long long value) { Add(key, std::to_string(value)); }
    bool Save(const std::wstring& path) {
        for (const auto& text : proxy_errors) Add("proxy_error", nm::text::ToUtf8(text));
        return nm::WriteFileBytes(path, text_);
    }

private:
    std::string text_;
};

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L".\\" : path.substr(0, slash + 1);
}

int Download(const std::vector<std::wstring>& args) {
    const std::wstring url = args[2], target = args[3], result_path = args[4];
    const int connections = static_cast<int>(nm::text::ToLong(Option(args, L"connections", L"8")));
    const int row = static_cast<int>(nm::text::ToLong(Option(args, L"row", L"0")));
    const bool no_retry = Flag(args, L"noretry");
    // "nowindow": no progress window, as for a transfer nobody watches.
    HWND window = Flag(args, L"nowindow") ? nullptr : CreateWatchWindow();
    nm::CSegmentedDownloader downloader;
    downloader.connections = connections;
    downloader.connect_tries = nm::text::ToLong(Option(args, L"trycount", L"3"));
    bool ok = false;
    RunWithMessages([&] { ok = downloader.DownloadFile(url, target, no_retry, row, window); });
    Result result;
    result.Add("result", ok ? 1 : 0);
    result.Add("size", downloader.size());
    result.Add("segments", downloader.segment_count());
    result.Add("url", nm::text::ToUtf8(downloader.url()));
    for (const auto& m : received_messages)
        result.Add("message", std::to_string(m.number) + "," + std::to_string(static_cast<long long>(m.wparam)) + "," +
                                  std::to_string(static_cast<long long>(m.lparam)));
    return result.Save(result_path) ? 0 : 2;
}

int Size(const std::vector<std::wstring>& args) {
    Result result;
    result.Add("size", nm::QueryRemoteSize(args[2]));
    return result.Save(args[3]) ? 0 : 2;
}

int Fetch(const std::vector<std::wstring>& args) {
    std::vector<char> sink;
    const bool ok = nm::FetchToMemory(args[2], sink);
    nm::WriteFileBytes(args[3], std::string(sink.begin(), sink.end()));
    Result result;
    result.Add("result", ok ? 1 : 0);
    result.Add("bytes", static_cast<long long>(sink.size()));
    return result.Save(args[4]) ? 0 : 2;
}

int Extract(const std::vector<std::wstring>& args) {
    const std::wstring archive = args[2], destination = args[3];
    // "hold": the destination stays open without sharing while extracting.
    nm::unique_hfile held;
    if (Flag(args, L"hold"))
        held.reset(::CreateFileW(destination.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    Result result;
    result.Add("held", held ? 1 : 0);
    result.Add("result", nm::ExtractArchive(archive, destination) ? 1 : 0);
    held.reset();
    return result.Save(args[4]) ? 0 : 2;
}

int Version(const std::vector<std::wstring>& args) {
    nm::CUpdateApp& app = nm::theApp();
    nm::CheckByVersion(app.context, nullptr);
    const int state = nm::CurrentUpdateState();
    ::Sleep(static_cast<DWORD>(nm::text::ToLong(args[3])));
    Result result;
    result.Add("state", state);
    result.Add("state_later", nm::CurrentUpdateState());
    result.Add("version", nm::text::ToUtf8(app.list.remote_version));
    result.Add("mirrors", static_cast<long long>(app.list.mirror_addresses.size()));
    return result.Save(args[2]) ? 0 : 2;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::wstring> args(argv, argv + count);
    ::LocalFree(argv);
    if (args.size() < 4) return 3;
    const std::wstring& command = args[1];
    nm::CUpdateApp& app = nm::theApp();
    nm::SetProxyErrorReporter([](const std::wstring& text) { proxy_errors.push_back(text); });
    const std::wstring result_path = command == L"version" ? args[2]
                                     : command == L"size"  ? args[3]
                                     : args.size() > 4     ? args[4]
                                                           : args[3];
    app.settings.SetApplicationDirectory(FolderOf(result_path));
    if (command == L"download" && args.size() >= 5) return Download(args);
    if (command == L"size") return Size(args);
    if (command == L"fetch" && args.size() >= 5) return Fetch(args);
    if (command == L"extract" && args.size() >= 5) return Extract(args);
    if (command == L"version") return Version(args);
    return 3;
}
