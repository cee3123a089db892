#pragma once
// novamend.ini is written out from the embedded default at every start.
// What the updater writes into it itself (the installed version, the list
// address of the sample, ...) is kept beside it in __written.ini and written
// back after the default, for as long as the default it replaced stays the
// same: a vendor who changes that default in a new build wins.
#include <string>

namespace nm {

std::wstring WrittenSettingsFile(const std::wstring& application_directory);
// What a key of the settings file holds now, with a mark for "absent": read
// before a write, to be noted with it.
std::wstring ValueBeforeWrite(const std::wstring& settings_file, const std::wstring& section, const std::wstring& key);
// Notes a value just written into the settings file; the first time a key is
// written, the value it replaced is noted as the default it overrides.
void NoteWrittenSetting(const std::wstring& written_file, const std::wstring& section, const std::wstring& key,
                        const std::wstring& replaced, const std::wstring& value);
// Writes the noted values back into a freshly written settings file, and
// forgets those whose default has changed.
void ReapplyWrittenSettings(const std::wstring& settings_file, const std::wstring& written_file);

}  // namespace nm
