#pragma once
// The settings file novamend.ini: reading through the per-process cache,
// writing back, and every location derived from it.
#include <functional>
#include <mutex>
#include <string>

#include "services/setting_keys.h"
#include "services/variable_table.h"

namespace nm {

class Settings {
public:
    explicit Settings(VariableTable& variables) : variables_(variables) {}

    // read setting: cached value, else the file's; values cut to 999 characters.
    std::wstring Read(const std::wstring& section, const std::wstring& key);
    std::wstring ReadWithDefault(const std::wstring& section, const std::wstring& key, const std::wstring& fallback);
    bool ReadSwitch(const std::wstring& section, const std::wstring& key, const std::wstring& fallback);
    // An integer setting by the C library's conversion (non-numeric gives 0).
    long ReadInteger(const std::wstring& section, const std::wstring& key, const std::wstring& fallback);
    // One key of an INI file as every setting is read, without the cache.
    static std::wstring ReadIni(const std::wstring& file, const std::wstring& section, const std::wstring& key);
    // One key of a named INI file, cached under section+key like Read.
    std::wstring ReadFromFile(const std::wstring& file, const std::wstring& section, const std::wstring& key);
    // A key of the shared table, with its default.
    std::wstring Read(const setting_keys::Key& key) { return ReadWithDefault(key.section, key.name, key.fallback); }
    bool ReadSwitch(const setting_keys::Key& key) { return ReadSwitch(key.section, key.name, key.fallback); }
    long ReadInteger(const setting_keys::Key& key) { return ReadInteger(key.section, key.name, key.fallback); }

    // The keys that several parts read, typed.
    std::wstring ApplicationName() { return Read(setting_keys::kApplicationName); }
    std::wstring MainProgramSetting() { return Read(setting_keys::kMainProgram); }
    std::wstring InstalledVersion() { return Read(setting_keys::kInstalledVersion); }
    std::wstring ListAddress() { return Read(setting_keys::kListUrl); }
    std::wstring LogName() { return Read(setting_keys::kLog); }
    bool ChecksVersionNumber() { return ReadSwitch(setting_keys::kCheckVerNumber); }
    bool ShowsWhenChecking() { return ReadSwitch(setting_keys::kShowWhenCheck); }
    bool Unzips() { return ReadSwitch(setting_keys::kUnZip); }
    long CheckTimeOut() { return ReadInteger(setting_keys::kTimeOut); }
    long DownloadRateCap(bool in_background) {
        return ReadInteger(in_background ? setting_keys::kBackgroundDownloadRate : setting_keys::kVisibleDownloadRate);
    }

    // Writes one key and updates the cache (also when the file write fails).
    // On access denied, offers the restart with raised rights. True when written.
    bool Write(const std::wstring& section, const std::wstring& key, const std::wstring& value);

    // Locations. Directories end without a separator unless stated.
    std::wstring ApplicationDirectory();  // with a trailing "\"
    void SetApplicationDirectory(const std::wstring& directory);
    std::wstring SettingsFile();
    std::wstring TemporaryDirectory();
    std::wstring TemporarySettingsFile();
    std::wstring ListWorkDirectory();
    std::wstring LocalListFile();
    // Quick mode reads the list an earlier run left under another name.
    void SetLocalListFile(const std::wstring& path);
    std::wstring SavedPendingList();
    std::wstring MainProgramPath();

    // The default settings text embedded in the executable.
    void SetEmbeddedText(const std::wstring& text);
    std::wstring EmbeddedSetting(const std::wstring& section, const std::wstring& key);

    // Whether the process runs with the elevation marker: a denied write then
    // does not offer another restart.
    void SetElevated(bool elevated) { elevated_ = elevated; }
    // What a write refused for lack of rights offers the user (a restart with
    // raised rights), given the settings file; set by the program at start-up.
    using DeniedWriteHandler = std::function<void(const std::wstring& settings_file)>;
    void SetDeniedWriteHandler(DeniedWriteHandler handler) { denied_write_handler_ = std::move(handler); }

private:
    std::wstring ListFileBase();
    std::wstring CachedListLocation(std::wstring Settings::*slot, const wchar_t* suffix);

    VariableTable& variables_;
    std::mutex lock_;  // guards the cached locations below
    std::wstring application_directory_;
    std::wstring embedded_text_;
    std::wstring list_work_directory_, local_list_file_, saved_pending_list_;
    bool elevated_ = false;
    DeniedWriteHandler denied_write_handler_;
};

}  // namespace nm
