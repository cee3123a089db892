#include "install/app_files.h"

#include <windows.h>

#include "base/file_ops.h"
#include "base/text.h"
#include "base/unique_handle.h"

namespace nm {

bool DeleteAppFile(const std::wstring& path, const std::wstring& application_directory) {
    const std::wstring full =
        text::Contains(path, L":") ? path : text::CollapseSeparators(application_directory + L"\\" + path);
    return files::Delete(full);
}

bool MoveWithRetry(const std::wstring& existing, const std::wstring& new_path) {
    return files::Exists(existing) && files::ReplaceWithRetries(existing, new_path);
}

void MoveTree(const std::wstring& source, const std::wstring& destination) {
    WIN32_FIND_DATAW found;
    unique_hfind search(::FindFirstFileW((source + L"\\*").c_str(), &found));
    if (search) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring from = source + L"\\" + name, to = destination + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;  // a link is nothing of ours
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                MoveTree(from, to);
            else
                ::MoveFileW(from.c_str(), to.c_str());
        } while (::FindNextFileW(search.get(), &found));
    }
    search.reset();
    ::RemoveDirectoryW(source.c_str());
}

}  // namespace nm
