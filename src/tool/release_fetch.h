#pragma once
// The GETs of the vendor tool's checks, asked as the branded updater asks
// (through its proxy, past any cache), so that an address answers the tool
// as it answers the updater. WinINet on Windows, libcurl natively; both say
// a refusal in the same words (transfer::HttpStatusReason).
#include <string>

namespace nm::tool {

class ReleaseFetch {
public:
    // settings_file: the updater's settings written out, for its proxy.
    explicit ReleaseFetch(const std::wstring& settings_file);
    // One GET into a file: "" when the server answered 200 and the whole
    // body arrived, else what went wrong, as text to append to a fault line.
    std::wstring ToFile(const std::wstring& url, const std::wstring& file) const;

private:
    std::wstring settings_file_;
};

}  // namespace nm::tool
