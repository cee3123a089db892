#include "download/http_session.h"

#include <atomic>
#include <mutex>

#include "base/text.h"
#include "base/window_iterator.h"
#include "services/log.h"
#include "services/process_services.h"

namespace nm {

namespace {
// Agent counters: process-wide, only for telling connections apart in logs.
std::atomic<int> size_query_counter{0};
std::atomic<int> download_counter{0};

std::mutex reporter_lock;
ProxyErrorReporter& Reporter() {
    static ProxyErrorReporter reporter;
    return reporter;
}

std::atomic<bool> proxy_error_told{false};

void ReportProxyError() {
    const std::wstring text = TranslateMain(L"The proxy set error!");
    ProxyErrorReporter reporter;
    {
        std::lock_guard guard(reporter_lock);
        reporter = Reporter();
    }
    if (reporter) {
        reporter(text);
        return;
    }
    // Every connection attempt of every file fails the same way: telling it
    // once is enough.
    if (proxy_error_told.exchange(true)) return;
    if (CMainWindowIterator(::GetCurrentProcessId()).First())
        ::MessageBoxW(nullptr, text.c_str(), L"", MB_OK);
    else
        WriteLog(text);
}

void SetTextOption(HINTERNET handle, DWORD option, const std::wstring& value) {
    ::InternetSetOptionW(handle, option, const_cast<wchar_t*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
}
}  // namespace

void SetProxyErrorReporter(ProxyErrorReporter reporter) {
    std::lock_guard guard(reporter_lock);
    Reporter() = std::move(reporter);
}

unique_hinternet OpenSession(const std::wstring& agent) {
    Settings& settings = Services().settings;
    const std::wstring proxy = settings.Read(L"Novamend", L"Proxy");
    if (proxy.empty()) {
        return unique_hinternet(::InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    }
    const std::wstring proxy_text = transfer::ProxyText(proxy);
    if (proxy_text.empty()) {
        ReportProxyError();
        return {};
    }
    unique_hinternet session(::InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxy_text.c_str(), nullptr, 0));
    if (!session) return session;
    const std::wstring user = settings.Read(L"Novamend", L"ProxyUser");
    if (!user.empty()) {
        // Empty pieces count: ",secret" sets an empty user name and a password.
        const auto pieces = text::Split(user, L',');
        if (pieces.size() >= 1) SetTextOption(session.get(), INTERNET_OPTION_PROXY_USERNAME, pieces[0]);
        if (pieces.size() >= 2) SetTextOption(session.get(), INTERNET_OPTION_PROXY_PASSWORD, pieces[1]);
    }
    return session;
}

unique_hinternet OpenRequest(HINTERNET session, const std::wstring& url, const std::wstring& headers, DWORD flags) {
    return unique_hinternet(::InternetOpenUrlW(session, url.c_str(), headers.empty() ? nullptr : headers.c_str(),
                                               static_cast<DWORD>(-1), flags, 0));
}

std::wstring NextDownloadAgent() { return L"down" + std::to_wstring(++download_counter); }

namespace {
// Idle download handles. Each is used by one connection at a time. Never
// destroyed: closing Internet handles while the process exits (WinINet's own
// threads already stopped) is not safe, and the exit frees them anyway.
std::mutex idle_sessions_lock;
std::vector<unique_hinternet>& IdleSessions() {
    static auto* idle = new std::vector<unique_hinternet>;
    return *idle;
}
constexpr size_t kMostIdleSessions = 16;
}  // namespace

unique_hinternet TakeDownloadSession() {
    {
        std::lock_guard guard(idle_sessions_lock);
        auto& idle = IdleSessions();
        if (!idle.empty()) {
            unique_hinternet session = std::move(idle.back());
            idle.pop_back();
            return session;
        }
    }
    return OpenSession(NextDownloadAgent());
}

void ReturnDownloadSession(unique_hinternet session) {
    if (!session) return;
    std::lock_guard guard(idle_sessions_lock);
    auto& idle = IdleSessions();
    if (idle.size() < kMostIdleSessions) idle.push_back(std::move(session));
}

namespace {
// A header's text; false when the server did not send it. A fresh, zeroed
// buffer every time: a header that is absent leaves no trace of an earlier value.
bool QueryText(HINTERNET request, DWORD info, wchar_t (&buffer)[transfer::kBlockSize]) {
    std::fill(std::begin(buffer), std::end(buffer), L'\0');
    DWORD length = transfer::kBlockSize;  // bytes, as every header query here passes
    return ::HttpQueryInfoW(request, info, buffer, &length, nullptr) != FALSE;
}
}  // namespace

std::int64_t QueryNumber(HINTERNET request, DWORD info, bool* present) {
    wchar_t buffer[transfer::kBlockSize];
    const bool ok = QueryText(request, info, buffer);
    if (present) *present = ok;
    if (!ok) return 0;
    return transfer::ParseDecimal(buffer);
}

transfer::Answer ReadAnswer(HINTERNET request) {
    transfer::Answer answer;
    answer.status = QueryNumber(request, HTTP_QUERY_STATUS_CODE);
    answer.length = QueryNumber(request, HTTP_QUERY_CONTENT_LENGTH, &answer.has_length);
    wchar_t range[transfer::kBlockSize];
    answer.has_range =
        QueryText(request, HTTP_QUERY_CONTENT_RANGE, range) && transfer::ParseContentRange(range, &answer.range);
    return answer;
}

// A plain GET whose body is never read. (Wine's WinINet reads the unread
// rest of a body when the request handle closes, to keep the connection;
// so under Wine the size query and every segment that stops before the end
// of the file cost reading the rest of it.)
std::int64_t QueryRemoteSize(const std::wstring& url) {
    const std::wstring agent = L"querysize" + std::to_wstring(++size_query_counter);
    unique_hinternet session = OpenSession(agent);
    if (!session) return -1;
    unique_hinternet request = OpenRequest(session.get(), url, L"");
    if (!request) return -1;
    bool has_length = false;
    std::int64_t size = QueryNumber(request.get(), HTTP_QUERY_CONTENT_LENGTH, &has_length);
    // No Content-Length is no size, whatever the body would have been.
    if (!has_length) size = 0;
    const std::int64_t status = QueryNumber(request.get(), HTTP_QUERY_STATUS_CODE);
    if (status == 404) size = -1;
    if (status != 200 && status != 206) size = -1;
    return size;
}

bool FetchToMemory(const std::wstring& url, std::vector<char>& sink) {
    // The process's own handles, so that the Proxy setting applies here too.
    unique_hinternet session = TakeDownloadSession();
    if (!session) return false;
    bool complete = false;
    {
        unique_hinternet request(::InternetOpenUrlW(session.get(), url.c_str(), L"Accept: */*\r\n\r\n", 15,
                                                    INTERNET_FLAG_NO_CACHE_WRITE, 0));
        if (!request) return false;
        char block[transfer::kBlockSize];
        size_t total = 0;
        // A short read is only what the network had at hand: the body ends
        // when a read returns no bytes at all.
        for (;;) {
            DWORD read = 0;
            if (!::InternetReadFile(request.get(), block, sizeof(block), &read)) break;
            if (read == 0) {
                complete = true;
                break;
            }
            // A page that is not what this reads (a version page is small) is
            // not taken into memory whole.
            total += read;
            if (total > kMemoryFetchLimit) break;
            sink.insert(sink.end(), block, block + read);
        }
    }
    ReturnDownloadSession(std::move(session));
    return complete;
}

}  // namespace nm
