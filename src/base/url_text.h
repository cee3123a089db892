// portable: builds without Win32
#pragma once
// Address routines shared by the check and the downloads.
#include <string>
#include <string_view>

namespace nm {

// The address of the folder that holds the list: everything before the last
// "/" (searched from the second character), unless that "/" is one of the
// last two characters.
std::wstring ListUrlBase(std::wstring_view address);
// Ten upper-case hexadecimal digits with "-" after the fourth; names the
// per-list files in the temporary directory.
std::wstring ListDigest(std::wstring_view text);
// Percent-encodes the unsafe characters and everything beyond ASCII (as UTF-8).
std::wstring PercentEncode(std::wstring_view address);
// base + "/" + path with backslashes turned into slashes and doubled slashes
// collapsed, the scheme separator kept.
std::wstring JoinUrl(std::wstring_view base, std::wstring_view path);
// The slash rule of JoinUrl alone: backslashes become slashes, doubled
// slashes are collapsed, the http and https scheme separators restored.
std::wstring NormaliseUrlSlashes(std::wstring_view address);

// Why an address cannot be a list's, judged before any request: the check
// and the vendor tool judge alike.
enum class ListAddressFault {
    none,
    missing,   // empty or shorter than 5 characters: counts as not set
    not_http,  // the transfer layer speaks http:// and https:// only
    no_host,   // nothing between the scheme and the path
};
ListAddressFault JudgeListAddress(std::wstring_view address);
// What is wrong, in words for the log and the vendor; "" for none.
std::wstring ListAddressFaultText(ListAddressFault fault);

}  // namespace nm
