// portable: builds without Win32
#include "base/url_text.h"

#include <cstdio>

#include "base/text.h"

namespace nm {

namespace {
// Changing the seed renames every per-list file, so it stays fixed.
constexpr std::wstring_view kDigestSeed = L"NVMEND2011";

std::wstring PercentGroup(unsigned value) {
    wchar_t group[8];
    std::swprintf(group, std::size(group), L"%%%0.2X", value & 0xFF);
    return group;
}

bool IsAsciiAlphanumeric(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
}
}  // namespace

std::wstring ListUrlBase(std::wstring_view address) {
    const size_t n = address.size();
    size_t k = std::wstring_view::npos;
    if (n > 1) {
        size_t last = address.find_last_of(L'/');
        if (last != std::wstring_view::npos && last >= 1) k = last;
    }
    if (k != std::wstring_view::npos && k + 2 < n) return std::wstring(address.substr(0, k));
    if (k == std::wstring_view::npos && n > 2) return L"";
    return std::wstring(address);
}

std::wstring ListDigest(std::wstring_view s) {
    const size_t n = s.size();
    unsigned long accumulators[10];
    for (int i = 0; i < 10; ++i) accumulators[i] = static_cast<unsigned long>(kDigestSeed[i]);
    if (n >= 1) {
        for (unsigned long i = 0; i < 10; ++i) {
            for (size_t j = 0; j < n; ++j) {
                const unsigned long unit = static_cast<unsigned long>(s[j]) & 0xFFFF;
                const unsigned long half = static_cast<unsigned long>(s[j / 2]) & 0xFFFF;
                accumulators[i] = (accumulators[i] + unit + half + i + j) % 199;
            }
        }
    }
    std::wstring digest;
    for (int i = 0; i < 10; ++i) {
        if (i == 4) digest += L'-';
        digest += L"0123456789ABCDEF"[accumulators[i] % 16];
    }
    return digest;
}

std::wstring PercentEncode(std::wstring_view address) {
    std::wstring out = text::ReplaceAll(address, L"%", L"%25");
    for (wchar_t unsafe : std::wstring_view(L" \"<>#{}|\\^~[]`+"))
        out = text::ReplaceAll(out, std::wstring(1, unsafe), PercentGroup(unsafe));

    constexpr std::wstring_view reserved = L"$&+,./:;=?@-_!*()'%";
    for (size_t i = 0; i < out.size();) {
        const wchar_t c = out[i];
        if (IsAsciiAlphanumeric(c) || reserved.find(c) != std::wstring_view::npos) {
            ++i;
            continue;
        }
        std::wstring groups;
        for (unsigned char byte : text::ToUtf8(std::wstring(1, c))) groups += PercentGroup(byte);
        // Every occurrence goes at once (those before i were replaced already);
        // the walk resumes after the inserted groups.
        out = out.substr(0, i) + groups +
              text::ReplaceAll(std::wstring_view(out).substr(i + 1), std::wstring(1, c), groups);
        i += groups.size();
    }
    return out;
}

std::wstring JoinUrl(std::wstring_view base, std::wstring_view path) {
    return NormaliseUrlSlashes(std::wstring(base) + L"//" + std::wstring(path));
}

std::wstring NormaliseUrlSlashes(std::wstring_view address) {
    std::wstring joined = text::ReplaceAll(address, L"\\", L"/");
    // Repeated until none is left: a base ending in "/" and a path starting
    // with one would otherwise keep a doubled slash after a single pass.
    while (text::Contains(joined, L"//")) joined = text::ReplaceAll(joined, L"//", L"/");
    joined = text::ReplaceAll(joined, L"http:/", L"http://");
    joined = text::ReplaceAll(joined, L"HTTP:/", L"HTTP://");
    joined = text::ReplaceAll(joined, L"https:/", L"https://");
    joined = text::ReplaceAll(joined, L"HTTPS:/", L"HTTPS://");
    return joined;
}

ListAddressFault JudgeListAddress(std::wstring_view address) {
    if (address.size() < 5) return ListAddressFault::missing;
    size_t host = 0;
    for (std::wstring_view scheme : {L"http://", L"https://"})
        if (address.size() >= scheme.size() && text::EqualsNoCase(address.substr(0, scheme.size()), scheme))
            host = scheme.size();
    if (host == 0) return ListAddressFault::not_http;
    if (host == address.size() || address[host] == L'/' || address[host] == L'\\' || address[host] == L':')
        return ListAddressFault::no_host;
    return ListAddressFault::none;
}

std::wstring ListAddressFaultText(ListAddressFault fault) {
    switch (fault) {
    case ListAddressFault::none:
        return {};
    case ListAddressFault::missing:
        return L"no address (empty, or shorter than 5 characters)";
    case ListAddressFault::not_http:
        return L"not an http:// or https:// address";
    case ListAddressFault::no_host:
        return L"no server name after http:// or https://";
    }
    return {};
}

}  // namespace nm
