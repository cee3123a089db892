// portable: builds without Win32
#include "tool/vendor_settings.h"

#include "base/path_macros_rules.h"
#include "base/url_text.h"
#include "list/signed_list.h"
#include "services/embedded_settings.h"
#include "services/settings.h"

namespace nm::tool {

std::wstring UpdaterFault(const std::wstring& path) {
    const std::optional<std::string> settings = EmbeddedSettingsBytesOf(path);
    if (!settings)
        return path +
               L" is not a Windows program that can be read: UPDATER, the first file, is novamend.exe (or a "
               L"copy branded before)";
    if (settings->empty())
        return path +
               L" is not a Novamend updater (it carries no embedded settings): give novamend.exe "
               L"(or a copy branded before)";
    return {};
}

std::wstring SettingsTextFault(const std::string& bytes, const std::wstring& path) {
    // The updater writes the bytes out as they are and reads them with the
    // profile functions in the ANSI code page: a program or a UTF-16 file
    // gives it no settings.
    if (bytes.starts_with("MZ")) return path + L" is a program, not a settings file: give UPDATER first, then SETTINGS";
    if (bytes.find('\0') != std::string::npos)
        return path + L" is not a settings file (INI text in the ANSI code page; UTF-16 is not read)";
    return {};
}

std::wstring ExpandedListAddress(const std::wstring& path) {
    return path_macros::ExpandParameters(
        Settings::ReadIni(path, L"UPDATEINFO", L"ListURL"),
        [&path](const std::wstring& key) { return Settings::ReadIni(path, L"UPDATEINFO", key); });
}

std::vector<std::wstring> SettingsFaults(const std::wstring& path, const std::wstring& where) {
    std::vector<std::wstring> faults;
    const std::wstring address = Settings::ReadIni(path, L"UPDATEINFO", L"ListURL");
    // As the check judges it: the value as set, then the address it names.
    ListAddressFault fault = JudgeListAddress(address);
    if (fault != ListAddressFault::missing) fault = JudgeListAddress(ExpandedListAddress(path));
    if (fault == ListAddressFault::missing)
        faults.push_back(where +
                         L": [UPDATEINFO] ListURL is missing: set it to the address of the update list "
                         L"(http:// or https://)");
    else if (fault != ListAddressFault::none)
        faults.push_back(where + L": [UPDATEINFO] ListURL=" + ExpandedListAddress(path) + L" is " +
                         ListAddressFaultText(fault) + L": the updater fetches its list from such an address only");
    const std::wstring key = Settings::ReadIni(path, L"UPDATEINFO", L"ListPublicKey");
    if (!key.empty() && !ListKeyUsable(key))
        faults.push_back(where +
                         L": [UPDATEINFO] ListPublicKey is not a P-256 public key: give the whole line that "
                         L"novamend-tool keygen printed (base64, no line breaks), or leave the key out");
    return faults;
}

}  // namespace nm::tool
