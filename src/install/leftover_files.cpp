#include "install/leftover_files.h"

#include <windows.h>

#include "app/unavailable.h"
#include "base/unique_handle.h"

namespace nm {

void CleanUpLeftovers() { LogUnavailable(L"Clean-up of replaced files"); }

bool RemoveDirectoryTree(const std::wstring& directory) {
    WIN32_FIND_DATAW found;
    unique_hfind search(::FindFirstFileW((directory + L"\\*").c_str(), &found));
    if (search) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = directory + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveDirectoryTree(path);
            } else {
                ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(path.c_str());
            }
        } while (::FindNextFileW(search.get(), &found));
    }
    search.reset();
    ::SetFileAttributesW(directory.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::RemoveDirectoryW(directory.c_str()) != FALSE;
}

}  // namespace nm
