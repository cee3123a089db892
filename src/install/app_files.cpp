#include "install/app_files.h"

#include <windows.h>

#include "base/file_ops.h"
#include "base/text.h"

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
    files::ForEachEntry(source, [&](const files::FolderEntry& entry) {
        const std::wstring from = source + L"\\" + entry.name, to = destination + L"\\" + entry.name;
        if (entry.is_link) return;  // nothing of ours
        if (entry.is_directory)
            MoveTree(from, to);
        else
            ::MoveFileW(from.c_str(), to.c_str());
    });
    ::RemoveDirectoryW(source.c_str());
}

}  // namespace nm
