#include "install/install_journal.h"

#include <windows.h>

#include "base/file_ops.h"
#include "base/text.h"

namespace nm {

namespace {
// Far above any real journal (a line is a few hundred bytes a file).
constexpr std::int64_t kLargestJournal = 256LL * 1024 * 1024;
}  // namespace

std::wstring InstallJournalPath(const std::wstring& application_directory) {
    return text::CollapseSeparators(application_directory + L"\\__install.journal");
}

std::wstring SavedUpdateListPath(const std::wstring& application_directory) {
    return text::CollapseSeparators(application_directory + L"\\__install.pending");
}

bool InstallJournalFile::Create(const std::wstring& path) {
    path_ = path;
    file_.reset(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    return file_ && Append(install_journal::Header());
}

bool InstallJournalFile::OpenExisting(const std::wstring& path) {
    path_ = path;
    file_.reset(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file_);
}

bool InstallJournalFile::Append(std::string_view record) {
    if (!file_) return false;
    LARGE_INTEGER end{};
    if (!::SetFilePointerEx(file_.get(), end, nullptr, FILE_END)) return false;
    DWORD written = 0;
    return ::WriteFile(file_.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr) &&
           written == record.size();
}

bool InstallJournalFile::Flush() { return file_ && ::FlushFileBuffers(file_.get()); }

bool InstallJournalFile::Remove() {
    file_.reset();
    return files::Delete(path_) || !files::Exists(path_);
}

bool ReadInstallJournal(const std::wstring& path, install_journal::Journal& journal) {
    std::string bytes;
    return files::ReadAll(path, bytes, kLargestJournal) && install_journal::Parse(bytes, journal);
}

}  // namespace nm
