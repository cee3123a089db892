#include "download/first_request.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <utility>

#include "base/threads.h"
#include "base/url_text.h"

namespace nm {

namespace {
transfer::FirstAnswer AskFirst(Connection& connection, const std::wstring& url) {
    if (!connection.Open(url, transfer::RangeHeader(0, transfer::kFirstRequestLength, INT64_MAX))) {
        transfer::FirstAnswer none;
        none.error = ::GetLastError();
        return none;
    }
    const transfer::FirstAnswer answer = transfer::JudgeFirstAnswer(connection.Answer());
    // An answer that brings nothing to read (a missing file, an error) still
    // leaves the connection good for the next request.
    if (!answer.HasBody()) connection.Close();
    return answer;
}

// A body nobody will read: its socket is not worth keeping.
void LetGo(FirstContact& contact) {
    if (contact.answer.HasBody()) contact.connection.Drop();
}
}  // namespace

FirstContact AskForFile(const std::wstring& url, long connect_tries) {
    FirstContact contact;
    contact.asked = true;
    contact.url = url;
    transfer::FirstAnswer& answer = contact.answer;
    const long tries = transfer::ConnectionAttempts(connect_tries);
    for (long attempt = 0; attempt < tries && !answer.Found(); ++attempt) {
        answer = AskFirst(contact.connection, url);
        if (answer.Found()) break;
        const bool missing = answer.kind == transfer::FirstAnswerKind::NotFound;
        const std::wstring encoded = PercentEncode(url);
        if (encoded == url) {
            if (missing) break;
            continue;
        }
        const transfer::FirstAnswer encoded_answer = AskFirst(contact.connection, encoded);
        if (encoded_answer.Found()) {
            contact.url = encoded;
            answer = encoded_answer;
            break;
        }
        if (missing && encoded_answer.kind == transfer::FirstAnswerKind::NotFound) break;
    }
    return contact;
}

struct FirstRequestAhead::State {
    std::mutex lock;
    std::condition_variable answered;
    bool done = false;
    bool abandoned = false;
    FirstContact contact;  // not asked when its thread could not start
};

FirstRequestAhead::FirstRequestAhead(const std::wstring& url, long connect_tries)
    : state_(std::make_shared<State>()), url_(url) {
    // The thread holds the state: its answer may come after everyone here
    // has lost interest, and is then let go.
    const bool started = StartOnReusedThread([state = state_, url, connect_tries] {
        FirstContact contact = AskForFile(url, connect_tries);
        std::unique_lock guard(state->lock);
        if (state->abandoned) {
            guard.unlock();
            LetGo(contact);
            return;
        }
        state->contact = std::move(contact);
        state->done = true;
        state->answered.notify_all();
    });
    if (!started) state_->done = true;
}

FirstRequestAhead::~FirstRequestAhead() {
    FirstContact unused;
    {
        std::lock_guard guard(state_->lock);
        state_->abandoned = true;
        if (state_->done) unused = std::move(state_->contact);
    }
    LetGo(unused);
}

FirstContact FirstRequestAhead::Take() {
    std::unique_lock guard(state_->lock);
    state_->answered.wait(guard, [&] { return state_->done; });
    // Nothing is left behind for the destructor to let go.
    return std::exchange(state_->contact, FirstContact{});
}

}  // namespace nm
