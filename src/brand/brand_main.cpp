// novamend-brand: writes a settings file into a copy of novamend.exe as its
// embedded default, so vendors brand the updater without a compiler.
//   novamend-brand <novamend.exe> <settings.ini> [<output.exe>]
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "services/embedded_settings.h"

namespace {

bool ReadWholeFile(const std::wstring& path, std::vector<char>& bytes) {
    std::ifstream in(path.c_str(), std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
    reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
    return TRUE;
}

// Languages under which the executable already carries the default settings.
std::vector<WORD> ExistingLanguages(const std::wstring& executable) {
    std::vector<WORD> languages;
    nm::unique_hmodule module(::LoadLibraryExW(executable.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (module)
        ::EnumResourceLanguagesW(module.get(), nm::kEmbeddedSettingsType, MAKEINTRESOURCEW(nm::kEmbeddedSettingsId),
                                 CollectLanguage, reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

int Fail(const wchar_t* what, const std::wstring& path) {
    std::fwprintf(stderr, L"novamend-brand: %ls: %ls (error %lu)\n", what, path.c_str(), ::GetLastError());
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3 || argc > 4) {
        std::fwprintf(stderr, L"usage: novamend-brand <novamend.exe> <settings.ini> [<output.exe>]\n");
        return 2;
    }
    const std::wstring source = argv[1], settings = argv[2];
    const std::wstring target = argc == 4 ? argv[3] : source;

    std::vector<char> bytes;
    if (!ReadWholeFile(settings, bytes)) return Fail(L"cannot read settings", settings);
    if (target != source && !::CopyFileW(source.c_str(), target.c_str(), FALSE))
        return Fail(L"cannot copy", target);

    const std::vector<WORD> languages = ExistingLanguages(target);
    nm::unique_resource_update update(::BeginUpdateResourceW(target.c_str(), FALSE));
    if (!update) return Fail(L"cannot open for update", target);
    // Replace, not add: a second language copy would leave the old default in force.
    for (WORD language : languages)
        ::UpdateResourceW(update.get(), nm::kEmbeddedSettingsType, MAKEINTRESOURCEW(nm::kEmbeddedSettingsId),
                          language, nullptr, 0);
    const WORD language = languages.empty() ? MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL) : languages.front();
    if (!::UpdateResourceW(update.get(), nm::kEmbeddedSettingsType, MAKEINTRESOURCEW(nm::kEmbeddedSettingsId),
                           language, bytes.data(), static_cast<DWORD>(bytes.size())))
        return Fail(L"cannot write the settings resource", target);
    if (!::EndUpdateResourceW(update.release(), FALSE)) return Fail(L"cannot save", target);
    return 0;
}
