#pragma once
// Writing keys of INI files through the platform's private-profile calls.
#include <string>

namespace nm::ini {

// Writes the value; false (the system's error kept) when the file could not be written.
bool Write(const std::wstring& file, const std::wstring& section, const std::wstring& key, const std::wstring& value);
// Removes the key; false when the file could not be written.
bool Remove(const std::wstring& file, const std::wstring& section, const std::wstring& key);

}  // namespace nm::ini
