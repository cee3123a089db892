#include "services/written_settings.h"

#include <windows.h>

#include <vector>

#include "base/ini_file.h"
#include "base/text.h"

namespace nm {

namespace {
// Beside each section of written values, this section holds the defaults
// they replaced.
std::wstring DefaultsSection(const std::wstring& section) { return section + L"|default"; }
// Stands for "absent" in a value; and what a read falls back to when the
// note itself is absent.
constexpr wchar_t kMissing[] = L"\x1F(none)";
constexpr wchar_t kNotNoted[] = L"\x1E(not noted)";

std::wstring ReadValue(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                       const wchar_t* fallback = L"") {
    std::vector<wchar_t> buffer(4096);
    const DWORD n = ::GetPrivateProfileStringW(section.c_str(), key.c_str(), fallback, buffer.data(),
                                               static_cast<DWORD>(buffer.size()), file.c_str());
    return std::wstring(buffer.data(), n);
}

// The names of a double-zero-terminated list.
std::vector<std::wstring> Names(const std::vector<wchar_t>& block, DWORD length) {
    std::vector<std::wstring> names;
    for (size_t at = 0; at < length && block[at];) {
        std::wstring name(&block[at]);
        at += name.size() + 1;
        names.push_back(std::move(name));
    }
    return names;
}

std::vector<std::wstring> Sections(const std::wstring& file) {
    std::vector<wchar_t> block(32768);
    return Names(block, ::GetPrivateProfileSectionNamesW(block.data(), static_cast<DWORD>(block.size()), file.c_str()));
}

std::vector<std::wstring> Keys(const std::wstring& file, const std::wstring& section) {
    std::vector<wchar_t> block(32768);
    return Names(block, ::GetPrivateProfileStringW(section.c_str(), nullptr, L"", block.data(),
                                                   static_cast<DWORD>(block.size()), file.c_str()));
}
}  // namespace

std::wstring WrittenSettingsFile(const std::wstring& application_directory) {
    return text::CollapseSeparators(application_directory + L"\\__written.ini");
}

std::wstring ValueBeforeWrite(const std::wstring& settings_file, const std::wstring& section, const std::wstring& key) {
    return ReadValue(settings_file, section, key, kMissing);
}

void NoteWrittenSetting(const std::wstring& written_file, const std::wstring& section, const std::wstring& key,
                        const std::wstring& replaced, const std::wstring& value) {
    const std::wstring defaults = DefaultsSection(section);
    // A note that cannot be written only means the value is not carried
    // over the next start's defaults: the setting itself is written.
    // Only the first write's replaced value is the default; later writes
    // replace the updater's own values.
    if (ReadValue(written_file, defaults, key, kNotNoted) == kNotNoted)
        ini::Write(written_file, defaults, key, replaced);
    ini::Write(written_file, section, key, value);
}

void ReapplyWrittenSettings(const std::wstring& settings_file, const std::wstring& written_file) {
    for (const std::wstring& section : Sections(written_file)) {
        if (text::EndsWith(section, L"|default")) continue;
        const std::wstring defaults = DefaultsSection(section);
        for (const std::wstring& key : Keys(written_file, section)) {
            const std::wstring noted_default = ReadValue(written_file, defaults, key, kMissing);
            if (noted_default != ReadValue(settings_file, section, key, kMissing)) {
                // The vendor's default changed since: it wins, the note goes
                // (a note left behind is found stale again at the next start).
                ini::Remove(written_file, section, key);
                ini::Remove(written_file, defaults, key);
                continue;
            }
            // A settings file that cannot be written keeps the vendor's
            // default; the next write of the key offers the raised rights.
            ini::Write(settings_file, section, key, ReadValue(written_file, section, key));
        }
    }
}

}  // namespace nm
