// posix: the tool's GETs through libcurl, asked as the updater asks them
// (its [Novamend] Proxy for http:// addresses, redirects followed, no cache).
#include <curl/curl.h>

#include <cstdio>
#include <memory>

#include "base/posix_path.h"
#include "base/text.h"
#include "download/transfer_rules.h"
#include "services/settings.h"
#include "tool/release_fetch.h"

namespace nm::tool {

namespace {
struct CurlCloser {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct HeaderListCloser {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// " (error 7: Couldn't connect to server)", shaped as the system's reasons are.
std::wstring CurlReason(CURLcode code) {
    return L" (error " + std::to_wstring(static_cast<int>(code)) + L": " + text::FromUtf8(curl_easy_strerror(code)) +
           L")";
}

// The body goes into the file once the server answered 200; any other
// answer stops the transfer before anything is written.
struct Body {
    CURL* curl = nullptr;
    std::string path;
    std::unique_ptr<std::FILE, FileCloser> out;
    long status = 0;
    bool write_failed = false;

    bool Open() {
        out.reset(std::fopen(path.c_str(), "wb"));
        write_failed = !out;
        return !write_failed;
    }
    static size_t Take(char* data, size_t size, size_t count, void* self) {
        Body& body = *static_cast<Body*>(self);
        curl_easy_getinfo(body.curl, CURLINFO_RESPONSE_CODE, &body.status);
        if (body.status != 200 || (!body.out && !body.Open())) return 0;
        if (std::fwrite(data, size, count, body.out.get()) != count) {
            body.write_failed = true;
            return 0;
        }
        return size * count;
    }
};

// The proxy WinINet takes from "HTTP=HTTP://host:port": for http:// only.
std::string HttpProxy(const std::wstring& proxy_text) {
    const std::wstring prefix = L"HTTP=";
    return text::ToUtf8(text::StartsWith(proxy_text, prefix) ? proxy_text.substr(prefix.size()) : proxy_text);
}
}  // namespace

ReleaseFetch::ReleaseFetch(const std::wstring& settings_file) : settings_file_(settings_file) {
    static const CURLcode started = curl_global_init(CURL_GLOBAL_DEFAULT);
    (void)started;
}

std::wstring ReleaseFetch::ToFile(const std::wstring& url, const std::wstring& file) const {
    std::unique_ptr<CURL, CurlCloser> curl(curl_easy_init());
    if (!curl) return CurlReason(CURLE_FAILED_INIT);
    const std::string address = text::ToUtf8(url);
    curl_easy_setopt(curl.get(), CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_USERAGENT, "novamend-tool verify");
    curl_easy_setopt(curl.get(), CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, 60L);
    // A server that stops sending for a minute has broken the body off.
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_TIME, 60L);
    std::unique_ptr<curl_slist, HeaderListCloser> headers(curl_slist_append(nullptr, "Pragma: no-cache"));
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());

    const std::wstring proxy = Settings::ReadIni(settings_file_, L"Novamend", L"Proxy");
    std::string proxy_address, user, password;
    if (!proxy.empty()) {
        const std::wstring proxy_text = transfer::ProxyText(proxy);
        if (proxy_text.empty()) return L" (the proxy set error: [Novamend] Proxy=" + proxy + L" is not host:port)";
        if (text::StartsWith(text::Lower(url), L"http://")) {
            proxy_address = HttpProxy(proxy_text);
            curl_easy_setopt(curl.get(), CURLOPT_PROXY, proxy_address.c_str());
            // Empty pieces count: ",secret" sets an empty user name and a password.
            const auto pieces = text::Split(Settings::ReadIni(settings_file_, L"Novamend", L"ProxyUser"), L',');
            if (pieces.size() >= 1)
                curl_easy_setopt(curl.get(), CURLOPT_PROXYUSERNAME, (user = text::ToUtf8(pieces[0])).c_str());
            if (pieces.size() >= 2)
                curl_easy_setopt(curl.get(), CURLOPT_PROXYPASSWORD, (password = text::ToUtf8(pieces[1])).c_str());
        }
    } else {
        curl_easy_setopt(curl.get(), CURLOPT_PROXY, "");  // as WinINet's direct line, no proxy of the environment
    }

    Body body;
    body.curl = curl.get();
    body.path = PosixPath(file);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &Body::Take);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    const CURLcode result = curl_easy_perform(curl.get());
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &body.status);
    if (body.write_failed) return L" (cannot write " + file + L")";
    if (body.status == 0) return CurlReason(result);
    if (body.status != 200) return transfer::HttpStatusReason(body.status);
    if (result != CURLE_OK) return L" (the body broke off" + CurlReason(result) + L")";
    // A 200 with an empty body wrote nothing yet.
    if (!body.out && !body.Open()) return L" (cannot write " + file + L")";
    if (std::fclose(body.out.release()) != 0) return L" (cannot write " + file + L")";
    return {};
}

}  // namespace nm::tool
