// portable: builds without Win32
#include "app/dotnet_rules.h"

#include <array>
#include <utility>

#include "base/text.h"
#include "base/url_text.h"

namespace nm::dotnet {

std::wstring RequiredVersion(const std::function<std::wstring(const std::wstring& key)>& read_novamend) {
    for (const wchar_t* key : {L"DotNetFix", L"DotNetFx", L"dotnetfix", L"dotnetfx"}) {
        std::wstring value = read_novamend(key);
        if (!value.empty()) return value;
    }
    for (const wchar_t* code : {L"10", L"11", L"20", L"30", L"35", L"40"})
        if (!read_novamend(std::wstring(L"dotnetfx") + code).empty()) return VersionFromCode(code);
    return L"";
}

std::wstring DirectoryPrefix(std::wstring_view required) {
    static const std::array<std::pair<std::wstring_view, std::wstring_view>, 10> kPrefixes{{
        {L"1.0", L"v1.0"},
        {L"1.1", L"v1.1"},
        {L"2", L"v2.0"},
        {L"2.0", L"v2.0"},
        {L"3", L"v3.0"},
        {L"3.0", L"v3.0"},
        {L"3.5", L"v3.5"},
        {L"4", L"v4.0"},
        {L"4.0", L"v4.0"},
        {L"4.5", L"v4.5"},
    }};
    for (const auto& [version, prefix] : kPrefixes)
        if (version == required) return std::wstring(prefix);
    return L"";
}

bool IsInstalled(std::wstring_view required, const std::vector<std::wstring>& framework_directories) {
    const std::wstring prefix = DirectoryPrefix(required);
    if (prefix.empty()) return true;
    for (const std::wstring& name : framework_directories)
        if (text::StartsWith(name, prefix)) return true;
    return false;
}

std::wstring VersionCode(std::wstring_view version) {
    return (text::ReplaceAll(version, L".", L"") + L"0000").substr(0, 2);
}

std::wstring VersionFromCode(std::wstring_view code) {
    if (code.empty()) return L"";
    return std::wstring(code.substr(0, 1)) + L"." + std::wstring(code.substr(1));
}

std::wstring DefaultInstallerAddress(std::wstring_view code, std::wstring_view list_address) {
    static constexpr std::array<std::wstring_view, 7> kCodes{L"10", L"11", L"20", L"30", L"35", L"40", L"45"};
    bool known = false;
    for (std::wstring_view known_code : kCodes) known = known || known_code == code;
    const std::wstring base = ListUrlBase(list_address);
    if (!known || base.empty()) return L"";
    return JoinUrl(base, L"dotnetfx" + std::wstring(code) + L".exe");
}

}  // namespace nm::dotnet
