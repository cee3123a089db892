#pragma once
// The first request of a segmented download: it asks for the file's first
// bytes and learns the size from the answer. It may also be asked early, on
// a thread of its own, while the download still waits for something else.
#include <memory>
#include <string>

#include "download/connection.h"
#include "download/transfer_rules.h"

namespace nm {

// A first request and its answer, with the connection that holds the body.
struct FirstContact {
    bool asked = false;
    std::wstring url;  // the address that answered (maybe the percent-encoded one)
    Connection connection;
    transfer::FirstAnswer answer;
};

// A missing file is not asked for again; the percent-encoded address is the
// second chance. Other failures get `connect_tries` attempts.
FirstContact AskForFile(const std::wstring& url, long connect_tries);

// A first request asked before the download needs it, so that its wait for
// the server overlaps another one (the file's archive variant, which most
// servers do not have). A download of the same address takes its answer
// instead of asking; when nobody does, whatever it got is let go.
class FirstRequestAhead {
public:
    FirstRequestAhead(const std::wstring& url, long connect_tries);
    ~FirstRequestAhead();
    FirstRequestAhead(const FirstRequestAhead&) = delete;
    FirstRequestAhead& operator=(const FirstRequestAhead&) = delete;

    const std::wstring& url() const { return url_; }
    // Waits for the answer; one not asked at all when no thread could start.
    FirstContact Take();

private:
    struct State;
    std::shared_ptr<State> state_;
    std::wstring url_;
};

}  // namespace nm
