// portable: builds without Win32
#pragma once
// The rules of the settings file that need no file access: the switch rule,
// the lookup in the embedded settings text, and how locations are composed.
#include <string>
#include <string_view>

namespace nm::settings_rules {

// Longest value a read returns; the read buffer holds one more character.
constexpr size_t kMaxValueLength = 999;

// A value (or the default when the value is empty) is on when, lower-cased
// and trimmed, with every "t" and "y" turned into "1", it begins with "1".
bool SwitchIsOn(std::wstring_view value, std::wstring_view default_value);

// The value of a key in the embedded settings text: the first "[section]",
// then the first occurrence of the key after it, then the first "=" after
// that, up to the line end (a carriage return before the line feed is not
// part of the value). "" when the section or the key is missing.
std::wstring EmbeddedValue(std::wstring_view text, std::wstring_view section, std::wstring_view key);

// The settings cache names an entry by section immediately followed by key.
inline std::wstring CacheName(std::wstring_view section, std::wstring_view key) {
    return std::wstring(section) + std::wstring(key);
}

// Which file a key lives in: ListFileZip of [Novamend] is kept beside the
// downloads, everything else in the application directory's settings file.
bool ReadsFromTemporarySettings(std::wstring_view section, std::wstring_view key);

// The temporary directory from its inputs (path macros already expanded).
std::wstring TemporaryDirectory(bool use_application_directory, std::wstring_view temp_path_setting,
                                std::wstring_view application_directory, std::wstring_view platform_temp);

// Application directory + "\" + value unless the value holds a ":"; "" when empty.
std::wstring MainProgramPath(std::wstring_view application_setting, std::wstring_view application_directory);

// The application directory this build uses: under the Windows drive root,
// optionally below the identifier from LumidexSet.ini.
std::wstring BrandedApplicationDirectory(std::wstring_view windows_directory, std::wstring_view name,
                                         std::wstring_view lumidex_set_id, bool lumidex_set_present);

}  // namespace nm::settings_rules
