// brand: writes a settings file into a copy of novamend.exe as its embedded
// default, so vendors brand the updater without a compiler.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "base/file_ops.h"
#include "base/unique_handle.h"
#include "services/embedded_settings.h"
#include "tool/tool_commands.h"

namespace nm::tool {

namespace {
// Far above any real settings file.
constexpr std::int64_t kLargestSettings = 16 * 1024 * 1024;

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
    reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
    return TRUE;
}

// Languages under which the executable already carries the default settings.
std::vector<WORD> ExistingLanguages(const std::wstring& executable) {
    std::vector<WORD> languages;
    unique_hmodule module(::LoadLibraryExW(executable.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (module)
        ::EnumResourceLanguagesW(module.get(), kEmbeddedSettingsType, MAKEINTRESOURCEW(kEmbeddedSettingsId),
                                 CollectLanguage, reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}
}  // namespace

int Brand(const Arguments& args) {
    if (args.size() < 2 || args.size() > 3) {
        std::fwprintf(stderr, L"usage: novamend-tool brand UPDATER SETTINGS [OUT]\n");
        return 2;
    }
    const std::wstring source = args[0], settings = args[1];
    const std::wstring target = args.size() == 3 ? args[2] : source;

    std::string bytes;
    if (!files::ReadAll(settings, bytes, kLargestSettings)) return Fail(L"brand", L"cannot read settings", settings);
    if (target != source && !::CopyFileW(source.c_str(), target.c_str(), FALSE))
        return Fail(L"brand", L"cannot copy", target);

    const std::vector<WORD> languages = ExistingLanguages(target);
    unique_resource_update update(::BeginUpdateResourceW(target.c_str(), FALSE));
    if (!update) return Fail(L"brand", L"cannot open for update", target);
    // Replace, not add: a second language copy would leave the old default in force.
    for (WORD language : languages)
        ::UpdateResourceW(update.get(), kEmbeddedSettingsType, MAKEINTRESOURCEW(kEmbeddedSettingsId), language,
                          nullptr, 0);
    const WORD language = languages.empty() ? MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL) : languages.front();
    if (!::UpdateResourceW(update.get(), kEmbeddedSettingsType, MAKEINTRESOURCEW(kEmbeddedSettingsId), language,
                           bytes.data(), static_cast<DWORD>(bytes.size())))
        return Fail(L"brand", L"cannot write the settings resource", target);
    if (!::EndUpdateResourceW(update.release(), FALSE)) return Fail(L"brand", L"cannot save", target);
    return 0;
}

}  // namespace nm::tool
