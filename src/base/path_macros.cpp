#include "base/path_macros.h"

#include <windows.h>
#include <shlobj.h>

#include "base/unique_handle.h"

namespace nm {

path_macros::FolderResolver SystemFolders(const std::wstring& application_directory) {
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
    folders.application_directory = [application_directory] { return application_directory; };
    folders.exists = [](const std::wstring& path) {
        WIN32_FIND_DATAW found;
        return static_cast<bool>(unique_hfind(::FindFirstFileW(path.c_str(), &found)));
    };
    return folders;
}

std::wstring ExpandPathMacros(const std::wstring& text, const std::wstring& application_directory) {
    return path_macros::Expand(text, SystemFolders(application_directory));
}

std::wstring MakeLocalPath(const std::wstring& base, const std::wstring& path,
                           const std::wstring& application_directory) {
    return path_macros::MakeLocal(base, path, SystemFolders(application_directory));
}

}  // namespace nm
