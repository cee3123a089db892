#include "install/old_files.h"

#include <windows.h>

#include "base/code_page.h"
#include "base/file_ops.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "install/old_files_format.h"

namespace nm {

namespace {
// Far above any real list; a larger file is not one of ours.
constexpr std::int64_t kLargestList = 64 * 1024 * 1024;
}  // namespace

std::wstring OldFilesList(const std::wstring& application_directory) {
    return text::CollapseSeparators(application_directory + L"\\__oldfiles.lst");
}

void RecordOldFile(const std::wstring& list_file, const std::wstring& path) {
    unique_hfile file(::CreateFileW(list_file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    const std::string record = old_files::Record(path, code_page::EncodeExactly(path));
    DWORD written = 0;
    ::WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
}

void CleanOldFiles(const std::wstring& list_file) {
    std::string bytes;
    if (!files::ReadAll(list_file, bytes, kLargestList)) return;
    bool all_gone = true;
    const auto paths = old_files::Paths(bytes, [](std::string_view line) { return code_page::Decode(line); });
    for (const std::wstring& path : paths)
        if (files::Exists(path) && !files::Delete(path)) all_gone = false;
    if (all_gone) files::Delete(list_file);
}

}  // namespace nm
