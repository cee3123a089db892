#include "services/settings.h"

#include <windows.h>

#include "base/executable_path.h"
#include "base/ini_file.h"
#include "base/path_macros.h"
#include "base/text.h"
#include "base/url_text.h"
#include "services/settings_rules.h"
#include "services/written_settings.h"

namespace nm {

std::wstring Settings::ReadIni(const std::wstring& file, const std::wstring& section, const std::wstring& key) {
    wchar_t buffer[settings_rules::kMaxValueLength + 1] = {};
    ::GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buffer, static_cast<DWORD>(std::size(buffer)),
                               file.c_str());
    return buffer;
}

std::wstring Settings::Read(const std::wstring& section, const std::wstring& key) {
    const std::wstring name = settings_rules::CacheName(section, key);
    // An empty cached value is a miss: empty keys are looked up again every time.
    if (auto cached = variables_.Find(name); cached && !cached->empty()) return *cached;
    const std::wstring file =
        settings_rules::ReadsFromTemporarySettings(section, key) ? TemporarySettingsFile() : SettingsFile();
    std::wstring value = ReadIni(file, section, key);
    variables_.Set(name, value);
    return value;
}

std::wstring Settings::ReadWithDefault(const std::wstring& section, const std::wstring& key,
                                       const std::wstring& fallback) {
    std::wstring value = Read(section, key);
    return value.empty() ? fallback : value;
}

bool Settings::ReadSwitch(const std::wstring& section, const std::wstring& key, const std::wstring& fallback) {
    return settings_rules::SwitchIsOn(Read(section, key), fallback);
}

long Settings::ReadInteger(const std::wstring& section, const std::wstring& key, const std::wstring& fallback) {
    return text::ToLong(ReadWithDefault(section, key, fallback));
}

std::wstring Settings::ReadFromFile(const std::wstring& file, const std::wstring& section, const std::wstring& key) {
    std::wstring value = ReadIni(file, section, key);
    variables_.Set(settings_rules::CacheName(section, key), value);
    return value;
}

bool Settings::Write(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    const std::wstring file = SettingsFile();
    const std::wstring replaced = ValueBeforeWrite(file, section, key);
    const bool written = ini::Write(file, section, key, value);
    const DWORD error = written ? ERROR_SUCCESS : ::GetLastError();
    if (written) NoteWrittenSetting(WrittenSettingsFile(ApplicationDirectory()), section, key, replaced, value);
    variables_.Set(settings_rules::CacheName(section, key), value);
    if (!written && error == ERROR_ACCESS_DENIED && !elevated_ && denied_write_handler_) denied_write_handler_(file);
    return written;
}

std::wstring Settings::ApplicationDirectory() {
    std::lock_guard guard(lock_);
    if (application_directory_.empty()) application_directory_ = ExecutableDirectory();
    return application_directory_;
}

void Settings::SetApplicationDirectory(const std::wstring& directory) {
    std::lock_guard guard(lock_);
    application_directory_ = directory;
    // Locations derived from the old directory are stale now.
    list_work_directory_.clear();
    local_list_file_.clear();
    saved_pending_list_.clear();
}

std::wstring Settings::SettingsFile() { return text::CollapseSeparators(ApplicationDirectory() + L"\\novamend.ini"); }

std::wstring Settings::TemporaryDirectory() {
    wchar_t platform_temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, platform_temp);
    const bool use_application_directory = ReadSwitch(L"Novamend", L"TempAppPath", L"0");
    std::wstring temp_path;
    if (!use_application_directory) {
        temp_path = Read(L"Novamend", L"TempPath");
        if (!temp_path.empty()) temp_path = ExpandPathMacros(temp_path, ApplicationDirectory());
    }
    return settings_rules::TemporaryDirectory(use_application_directory, temp_path, ApplicationDirectory(),
                                              platform_temp);
}

std::wstring Settings::TemporarySettingsFile() {
    return text::CollapseSeparators(TemporaryDirectory() + L"\\novamend.ini");
}

std::wstring Settings::ListFileBase() {
    return text::CollapseSeparators(TemporaryDirectory() + L"\\" + ListDigest(ListAddress() + L"9999999999"));
}

std::wstring Settings::CachedListLocation(std::wstring Settings::*slot, const wchar_t* suffix) {
    {
        std::lock_guard guard(lock_);
        if (!(this->*slot).empty()) return this->*slot;
    }
    // Computed outside the lock: it reads settings, which may take the lock again.
    std::wstring value = ListFileBase() + suffix;
    std::lock_guard guard(lock_);
    return this->*slot = value;
}

std::wstring Settings::ListWorkDirectory() { return CachedListLocation(&Settings::list_work_directory_, L""); }
std::wstring Settings::LocalListFile() { return CachedListLocation(&Settings::local_list_file_, L".xml"); }
void Settings::SetLocalListFile(const std::wstring& path) {
    std::lock_guard guard(lock_);
    local_list_file_ = path;
}

std::wstring Settings::SavedPendingList() { return CachedListLocation(&Settings::saved_pending_list_, L".lst"); }

std::wstring Settings::MainProgramPath() {
    return settings_rules::MainProgramPath(MainProgramSetting(), ApplicationDirectory());
}

void Settings::SetEmbeddedText(const std::wstring& text) {
    std::lock_guard guard(lock_);
    embedded_text_ = text;
}

std::wstring Settings::EmbeddedSetting(const std::wstring& section, const std::wstring& key) {
    std::lock_guard guard(lock_);
    return settings_rules::EmbeddedValue(embedded_text_, section, key);
}

}  // namespace nm
