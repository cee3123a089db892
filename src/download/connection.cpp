#include "download/connection.h"

#include <algorithm>

#include "download/http_session.h"

namespace nm {

Connection::~Connection() {
    request_.reset();
    ReturnDownloadSession(std::move(session_));
}

bool Connection::Open(const std::wstring& url, const std::wstring& headers) {
    request_.reset();
    if (!session_) session_ = TakeDownloadSession();
    if (session_) request_ = OpenRequest(session_.get(), url, headers, kFileRequestFlags);
    if (!request_) session_.reset();
    return static_cast<bool>(request_);
}

transfer::Answer Connection::Answer() const { return ReadAnswer(request_.get()); }

DWORD Connection::Read(char* buffer, DWORD count) {
    DWORD got = 0;
    if (!::InternetReadFile(request_.get(), buffer, count, &got)) got = 0;
    return got;
}

bool Connection::Discard(std::int64_t count, std::vector<char>& buffer) {
    while (count > 0) {
        const DWORD got = Read(buffer.data(), static_cast<DWORD>(std::min<std::int64_t>(count, buffer.size())));
        if (got == 0) return false;
        count -= got;
    }
    return true;
}

}  // namespace nm
