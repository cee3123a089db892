// portable: builds without Win32
#include "services/settings_rules.h"

#include "base/text.h"

namespace nm::settings_rules {

bool SwitchIsOn(std::wstring_view value, std::wstring_view default_value) {
    std::wstring v = text::Trim(text::Lower(value.empty() ? default_value : value));
    for (auto& c : v)
        if (c == L't' || c == L'y') c = L'1';
    return !v.empty() && v[0] == L'1';
}

std::wstring EmbeddedValue(std::wstring_view text, std::wstring_view section, std::wstring_view key) {
    const std::wstring header = L"[" + std::wstring(section) + L"]";
    size_t at = text.find(header);
    if (at == std::wstring_view::npos) return L"";
    at = text.find(key, at + header.size());
    if (at == std::wstring_view::npos) return L"";
    at = text.find(L'=', at);
    if (at == std::wstring_view::npos) return L"";
    const size_t begin = at + 1;
    size_t end = text.find(L'\n', begin);
    if (end == std::wstring_view::npos) return std::wstring(text.substr(begin));
    // Only a carriage return is dropped: with a bare line feed the value ends at it.
    if (end > begin && text[end - 1] == L'\r') --end;
    return std::wstring(text.substr(begin, end - begin));
}

bool ReadsFromTemporarySettings(std::wstring_view section, std::wstring_view key) {
    return section == L"Novamend" && key == L"ListFileZip";
}

std::wstring TemporaryDirectory(bool use_application_directory, std::wstring_view temp_path_setting,
                                std::wstring_view application_directory, std::wstring_view platform_temp) {
    if (use_application_directory) return std::wstring(application_directory);
    if (temp_path_setting.empty()) return std::wstring(platform_temp);
    std::wstring dir(temp_path_setting);
    if (!text::Contains(dir, L":")) dir = std::wstring(application_directory) + dir;
    return text::CollapseSeparators(dir);
}

std::wstring MainProgramPath(std::wstring_view application_setting, std::wstring_view application_directory) {
    if (application_setting.empty()) return L"";
    if (text::Contains(application_setting, L":")) return std::wstring(application_setting);
    return text::CollapseSeparators(std::wstring(application_directory) + L"\\" + std::wstring(application_setting));
}

std::wstring BrandedApplicationDirectory(std::wstring_view windows_directory, std::wstring_view name,
                                         std::wstring_view lumidex_set_id, bool lumidex_set_present) {
    std::wstring folder(name);
    if (lumidex_set_present) folder = std::wstring(lumidex_set_id) + L"\\" + folder;
    std::wstring root(windows_directory.substr(0, 3));
    return text::CollapseSeparators(root + L"Marwenti" + L"\\lumdex\\" + folder + L"\\");
}

}  // namespace nm::settings_rules
