#pragma once
// The default settings carried inside the executable (resource
// IDR_DEFAULT_SETTINGS of the type named "RT_RCDATA") and the application
// directory this build uses.
#include <optional>
#include <string>

#include "res/resource_ids.h"

namespace nm {

class Settings;

constexpr int kEmbeddedSettingsId = IDR_DEFAULT_SETTINGS;
constexpr const wchar_t* kEmbeddedSettingsType = L"RT_RCDATA";

// The raw bytes of the embedded default, empty when the resource is missing.
std::string EmbeddedSettingsBytes();
// The raw bytes of the default another executable file carries, read from
// the file's resource directory; none when the file cannot be read as a
// Windows program, empty when it carries none.
std::optional<std::string> EmbeddedSettingsBytesOf(const std::wstring& executable);
// One setting of the default another executable file carries, read as that
// updater reads it once written out (through scratch_file, removed again);
// "" when the file carries no default or not that setting.
std::wstring EmbeddedSettingOf(const std::wstring& executable, const std::wstring& section, const std::wstring& key,
                               const std::wstring& scratch_file);
// Moves the application directory under the drive root (creating it), or
// keeps it at the executable's own folder when the embedded default says
// [Novamend] BesideApplication, and writes the embedded default out as its
// novamend.ini.
void InstallBrandedApplicationDirectory(Settings& settings);

}  // namespace nm
