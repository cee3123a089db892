#pragma once
// A file download's connection to the server: its Internet handle serves all
// its requests, so WinINet can keep the socket between them; one request is
// open at a time. A handle that saw no failure goes on to the process's next
// connection.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "download/transfer_rules.h"

namespace nm {

class Connection {
public:
    Connection() = default;
    Connection(Connection&&) = default;
    Connection& operator=(Connection&&) = default;
    ~Connection();

    bool Open(const std::wstring& url, const std::wstring& headers);
    bool HasRequest() const { return static_cast<bool>(request_); }
    transfer::Answer Answer() const;
    // Up to `count` bytes of the body; 0 at its end or when the connection broke.
    DWORD Read(char* buffer, DWORD count);
    // Skips the first `count` bytes of a body that ignored the range.
    bool Discard(std::int64_t count, std::vector<char>& buffer);
    // The request is done with; the session stays for the next one.
    void Close() { request_.reset(); }
    // After a failure both go: the next attempt starts afresh.
    void Drop() {
        request_.reset();
        session_.reset();
    }

private:
    unique_hinternet session_;
    unique_hinternet request_;
};

}  // namespace nm
