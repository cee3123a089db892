#include "list/path_macros.h"

#include <windows.h>
#include <shlobj.h>

#include "app/update_app.h"
#include "base/unique_handle.h"

namespace nm {

path_macros::FolderResolver SystemFolders() {
    path_macros::FolderResolver folders;
    folders.shell_folder = [](int csidl) {
        wchar_t path[MAX_PATH] = {};
        return ::SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE) ? std::wstring(path) : std::wstring();
    };
    folders.windows_directory = [] {
        wchar_t path[MAX_PATH] = {};
        UINT n = ::GetWindowsDirectoryW(path, MAX_PATH);
        return std::wstring(path, n < MAX_PATH ? n : 0);
    };
    folders.system_directory = [] {
        wchar_t path[MAX_PATH] = {};
        UINT n = ::GetSystemDirectoryW(path, MAX_PATH);
        return std::wstring(path, n < MAX_PATH ? n : 0);
    };
    folders.application_directory = [] { return theApp().settings.ApplicationDirectory(); };
    folders.exists = [](const std::wstring& path) {
        WIN32_FIND_DATAW found;
        return static_cast<bool>(unique_hfind(::FindFirstFileW(path.c_str(), &found)));
    };
    return folders;
}

std::wstring ExpandPathMacros(const std::wstring& text) { return path_macros::Expand(text, SystemFolders()); }

std::wstring MakeLocalPath(const std::wstring& base, const std::wstring& path) {
    return path_macros::MakeLocal(base, path, SystemFolders());
}

std::wstring ExpandListParameters(const std::wstring& address) {
    return path_macros::ExpandParameters(
        address, [](const std::wstring& key) { return theApp().settings.Read(L"UPDATEINFO", key); });
}

std::vector<std::wstring> EntryTargets(const updatefileinfo& entry) {
    return path_macros::EntryTargets(entry.path, entry.dstname, theApp().settings.ApplicationDirectory(),
                                     SystemFolders());
}

}  // namespace nm
