#include "services/embedded_settings.h"

#include <windows.h>

#include "base/code_page.h"
#include "base/file_ops.h"
#include "base/text.h"
#include "services/settings.h"
#include "services/settings_rules.h"
#include "services/written_settings.h"

namespace nm {

namespace {
std::string EmbeddedSettingsBytesIn(HMODULE module) {
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(kEmbeddedSettingsId), kEmbeddedSettingsType);
    if (!found) return {};
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data) return {};
    return std::string(static_cast<const char*>(data), ::SizeofResource(module, found));
}

// The folder under the drive root that this build's updaters of one
// application share, created when it is missing.
std::wstring SharedApplicationDirectory(Settings& settings, const std::wstring& name) {
    // The executable's own directory, without its trailing separator.
    std::wstring own_directory = settings.ApplicationDirectory();
    if (!own_directory.empty() && own_directory.back() == L'\\') own_directory.pop_back();
    const std::wstring lumidex_set = own_directory + L"\\..\\LumidexSet.ini";
    const bool lumidex_set_present = files::Exists(lumidex_set);
    const std::wstring set_id =
        lumidex_set_present ? settings.ReadFromFile(lumidex_set, L"APPLICATION", L"LumidexSetId") : L"";

    wchar_t windows_directory[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows_directory, MAX_PATH);
    const std::wstring directory =
        settings_rules::BrandedApplicationDirectory(windows_directory, name, set_id, lumidex_set_present);
    files::CreateDirectoryLevels(directory);
    return directory;
}
}  // namespace

std::string EmbeddedSettingsBytes() { return EmbeddedSettingsBytesIn(nullptr); }

void InstallBrandedApplicationDirectory(Settings& settings) {
    const std::string bytes = EmbeddedSettingsBytes();
    settings.SetEmbeddedText(code_page::Decode(bytes));
    const std::wstring name = settings.EmbeddedSetting(L"APPLICATION", L"Name");

    // An updater installed beside its application updates its own folder.
    const std::wstring directory =
        settings_rules::SwitchIsOn(settings.EmbeddedSetting(L"Novamend", L"BesideApplication"), L"0")
            ? settings.ApplicationDirectory()
            : SharedApplicationDirectory(settings, name);
    settings.SetApplicationDirectory(directory);

    // A settings file that cannot be written is simply not refreshed. What
    // the updater wrote into it itself stays.
    if (!bytes.empty() && files::WriteAll(directory + L"novamend.ini", bytes))
        ReapplyWrittenSettings(directory + L"novamend.ini", WrittenSettingsFile(directory));
}

}  // namespace nm
