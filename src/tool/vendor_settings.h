#pragma once
// What the tool checks of an updater and of a vendor's settings before
// anything ships: the faults the updater would otherwise find only at a
// user's machine, each said with what to fix.
#include <string>
#include <vector>

namespace nm::tool {

// "" when the file is a Novamend updater (an executable that carries the
// embedded default settings); otherwise what is wrong with it.
std::wstring UpdaterFault(const std::wstring& path);

// "" when the bytes can be a settings file (INI text in the ANSI code page);
// otherwise what they are instead.
std::wstring SettingsTextFault(const std::string& bytes, const std::wstring& path);

// The faults of the settings file at path (a full path), read as the
// updater reads its own: [UPDATEINFO] ListURL (with its parameters
// expanded) and ListPublicKey. `where` names the file in the messages.
std::vector<std::wstring> SettingsFaults(const std::wstring& path, const std::wstring& where);

// The list address of the settings file at path, its parameters expanded
// as the updater expands them.
std::wstring ExpandedListAddress(const std::wstring& path);

}  // namespace nm::tool
