#include "base/ini_file.h"

#include <windows.h>

namespace nm::ini {

bool Write(const std::wstring& file, const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    return ::WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != FALSE;
}

bool Remove(const std::wstring& file, const std::wstring& section, const std::wstring& key) {
    return ::WritePrivateProfileStringW(section.c_str(), key.c_str(), nullptr, file.c_str()) != FALSE;
}

}  // namespace nm::ini
