#pragma once
// The only place that speaks HTTP: WinINet handles with or without the
// configured proxy, one GET per request, the remote size of a file and a
// whole document into memory. Download handles are kept in a pool of idle
// ones and handed out one connection at a time.
#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "download/transfer_rules.h"

namespace nm {

// INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE
constexpr DWORD kRequestFlags = 0x84000100;
// A file download neither sends nor keeps cookies: files on an update server
// are static, and WinINet's cookie store costs more per request (a lookup in
// its URL cache under a system-wide lock) than the rest of a small file.
constexpr DWORD kFileRequestFlags = kRequestFlags | INTERNET_FLAG_NO_COOKIES;

// An Internet handle for the agent name, through [Novamend] Proxy when it is
// set. A Proxy value without ":" gives none and reports "The proxy set
// error!" once per process: in a box while the process shows a window,
// otherwise in the log (a box nobody answers would hold an unattended run).
unique_hinternet OpenSession(const std::wstring& agent);
// One GET of the URL on the session; the header text may be empty.
unique_hinternet OpenRequest(HINTERNET session, const std::wstring& url, const std::wstring& headers,
                             DWORD flags = kRequestFlags);

// The agent name of the next segment connection: "down%d".
std::wstring NextDownloadAgent();

// An Internet handle for a download connection: one that an earlier
// connection gave back, else a new one (agent "down%d"). Opening one reads
// the proxy configuration each time, which costs more than many requests.
unique_hinternet TakeDownloadSession();
// Gives a download connection's handle back for the next one; only a
// handle whose connection ended without a failure is given back.
void ReturnDownloadSession(unique_hinternet session);

// The Content-Length of the URL, -1 when there is none to be had (no
// session, no request, a status other than 200 or 206). A response without
// Content-Length gives 0: no size.
std::int64_t QueryRemoteSize(const std::wstring& url);

// The whole body of the URL appended to the sink; false on an open or read
// failure, or when the body is longer than kMemoryFetchLimit (the sink then
// holds what arrived before).
constexpr size_t kMemoryFetchLimit = 1024 * 1024;
bool FetchToMemory(const std::wstring& url, std::vector<char>& sink);

// Header values of a request, read as decimal text (non-numbers give 0).
// `present` tells whether the server sent the header at all.
std::int64_t QueryNumber(HINTERNET request, DWORD info, bool* present = nullptr);
// Status, Content-Length and Content-Range of an answer.
transfer::Answer ReadAnswer(HINTERNET request);

// Where the proxy error goes: a modal OK box by default. Tests replace it.
using ProxyErrorReporter = std::function<void(const std::wstring& text)>;
void SetProxyErrorReporter(ProxyErrorReporter reporter);

}  // namespace nm
