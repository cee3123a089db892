// portable: builds without Win32
#include "base/path_macros_rules.h"

#include <algorithm>
#include <utility>

#include "base/text.h"

namespace nm::path_macros {

namespace {
constexpr std::pair<std::wstring_view, int> kShellFolderMacros[] = {
    {L"{programfiles}", 0x26},      {L"{pf}", 0x26},
    {L"{document}", 0x05},          {L"{commondesktop}", 0x19},
    {L"{desktop}", 0x10},           {L"{startmenu}", 0x0B},
    {L"{startupmenu}", 0x0B},       {L"{commonstartmenu}", 0x16},
    {L"{commonstartupmenu}", 0x16}, {L"{commonstartup}", 0x18},
    {L"{startup}", 0x07},           {L"{commonprograms}", 0x17},
    {L"{startupprograms}", 0x17},   {L"{programs}", 0x02},
};

std::wstring DirectoryMacroValue(std::wstring_view macro, const FolderResolver& folders) {
    if (macro == L"{win}") return folders.windows_directory();
    if (macro == L"{sys}") return folders.system_directory();
    if (macro == L"{syswow64}") {
        std::wstring wow = text::CollapseSeparators(folders.windows_directory() + L"\\SysWOW64");
        return folders.exists(wow) ? wow : folders.system_directory();
    }
    return folders.application_directory();  // {target}, {path}, {app}
}
}  // namespace

std::wstring Expand(std::wstring_view input, const FolderResolver& folders) {
    std::wstring result(input);
    for (const auto& [macro, csidl] : kShellFolderMacros)
        if (text::Contains(result, macro)) result = text::ReplaceAll(result, macro, folders.shell_folder(csidl));

    // Only the first directory macro present is expanded.
    for (std::wstring_view macro : {L"{win}", L"{syswow64}", L"{sys}", L"{target}", L"{path}", L"{app}"}) {
        if (text::Contains(result, macro)) {
            result = text::ReplaceAll(result, macro, DirectoryMacroValue(macro, folders));
            break;
        }
    }
    if (result != input) result = text::CollapseSeparators(result);
    return result;
}

std::wstring MakeLocal(std::wstring_view base, std::wstring_view path, const FolderResolver& folders) {
    std::wstring expanded = Expand(path, folders);
    const size_t colon = expanded.find(L':');
    if (colon != std::wstring::npos && colon > 0) return expanded;
    std::wstring local = text::ReplaceAll(std::wstring(base) + L"\\" + expanded, L"/", L"\\");
    return text::CollapseSeparators(text::CollapseSeparators(local));
}

std::wstring ExpandParameters(std::wstring_view address,
                              const std::function<std::wstring(const std::wstring& key)>& read_parameter) {
    std::wstring result(address);
    constexpr std::pair<std::wstring_view, const wchar_t*> kParameters[] = {
        {L"[param1]", L"Parameter1"}, {L"{param1}", L"Parameter1"}, {L"[param2]", L"Parameter2"},
        {L"{param2}", L"Parameter2"}, {L"[param]", L"Parameter"},   {L"{param}", L"Parameter"},
    };
    for (const auto& [macro, key] : kParameters) result = text::ReplaceAll(result, macro, read_parameter(key));
    return result;
}

std::vector<std::wstring> EntryTargets(std::wstring_view path, std::wstring_view dstname,
                                       std::wstring_view application_directory, const FolderResolver& folders) {
    const std::wstring local = MakeLocal(application_directory, path, folders);
    std::vector<std::wstring> targets;
    std::wstring names = text::ReplaceAll(text::ReplaceAll(dstname, L",", L";"), L"|", L";");
    for (const std::wstring& piece : text::Split(names, L';')) {
        const std::wstring name = text::Trim(piece);
        if (name.empty()) continue;
        std::wstring target;
        if (name.find_first_of(L"\\/") != std::wstring::npos) {
            target = MakeLocal(application_directory, name, folders);
        } else {
            // An absolute path may be written with "/"; its file name ends at either separator.
            const size_t last = local.find_last_of(L"\\/");
            target = (last == std::wstring::npos ? std::wstring() : local.substr(0, last + 1)) + name;
        }
        if (std::find(targets.begin(), targets.end(), target) == targets.end()) targets.push_back(std::move(target));
    }
    if (targets.empty()) targets.push_back(local);
    return targets;
}

}  // namespace nm::path_macros
