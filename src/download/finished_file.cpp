#include "download/finished_file.h"

#include <windows.h>

#include <mutex>
#include <optional>

#include "base/file_ops.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "download/version_journal.h"

namespace nm {

namespace {
constexpr wchar_t kNoteSuffix[] = L"_.__ver";
constexpr wchar_t kNoteFolder[] = L"__versions4novamend";
constexpr wchar_t kJournalName[] = L"journal";
// A version text is short; a larger note is not one of ours.
constexpr std::int64_t kLargestNote = 64 * 1024;
// Some thousand records per cycle; a journal beyond this is not one of ours,
// and its files count as fetched for no known version.
constexpr std::int64_t kLargestJournal = 64 * 1024 * 1024;

size_t LeafStart(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? 0 : slash + 1;
}

std::wstring Leaf(const std::wstring& path) { return path.substr(LeafStart(path)); }

// Where builds before the notes' own folder left them: beside the file.
std::wstring NoteBesideFile(const std::wstring& local_path) { return local_path + kNoteSuffix; }

// One write at the journal's end. Under Wine two threads appending at once
// can both write at the same end and one record is lost, so the process's
// appends take turns.
std::mutex journal_appends;

bool AppendToJournal(const std::wstring& local_path, std::optional<std::wstring_view> version) {
    const std::string record = version_journal::Record(Leaf(local_path), version);
    const std::wstring journal = VersionJournal(local_path);
    std::lock_guard turn(journal_appends);
    auto append = [&] {
        unique_hfile file(::CreateFileW(journal.c_str(), FILE_APPEND_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        return file && ::WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr) &&
               written == record.size();
    };
    if (append()) return true;
    // The folder's first record makes the notes' folder.
    ::CreateDirectoryW(VersionNoteFolder(local_path).c_str(), nullptr);
    return append();
}
}  // namespace

std::wstring FinishedPath(const std::wstring& local_path) { return local_path + L"_"; }

std::wstring VersionNoteFolder(const std::wstring& local_path) {
    return local_path.substr(0, LeafStart(local_path)) + kNoteFolder;
}

std::wstring VersionJournal(const std::wstring& local_path) {
    return VersionNoteFolder(local_path) + L"\\" + kJournalName;
}

std::wstring FinishedVersionNote(const std::wstring& local_path) {
    return VersionNoteFolder(local_path) + L"\\" + Leaf(local_path) + kNoteSuffix;
}

bool IsFinishedFor(const std::wstring& local_path, const std::wstring& version) {
    if (!files::Exists(FinishedPath(local_path))) return false;
    std::string journal;
    if (files::ReadAll(VersionJournal(local_path), journal, kLargestJournal)) {
        const version_journal::Lookup noted = version_journal::Find(journal, Leaf(local_path));
        if (noted.noted == version_journal::Noted::Version)
            return noted.encoded_version == version_journal::EncodeVersion(version);
        if (noted.noted == version_journal::Noted::Forgotten) return false;
    }
    std::string noted;
    return files::ReadAll(FinishedVersionNote(local_path), noted, kLargestNote) && text::FromUtf8(noted) == version;
}

bool MarkFinished(const std::wstring& local_path, const std::wstring& version, EarlierNote earlier_note) {
    // An older version is forgotten first, the new one noted last: a finished
    // file with no version noted counts as unknown and is fetched again.
    if (earlier_note == EarlierNote::Possible) AppendToJournal(local_path, std::nullopt);
    // A file that could not take the finished name is not left half-marked.
    if (!files::Exists(local_path) || !files::ReplaceWithRetries(local_path, FinishedPath(local_path))) {
        files::Delete(local_path);
        return false;
    }
    return NoteFinishedVersion(local_path, version);
}

bool NoteFinishedVersion(const std::wstring& local_path, const std::wstring& version) {
    return AppendToJournal(local_path, version);
}

void DiscardFinished(const std::wstring& local_path) {
    AppendToJournal(local_path, std::nullopt);
    files::Delete(FinishedVersionNote(local_path));
    files::Delete(NoteBesideFile(local_path));
    files::Delete(FinishedPath(local_path));
}

void RemoveVersionNotes(const std::wstring& local_path) {
    files::Delete(FinishedVersionNote(local_path));
    files::Delete(VersionJournal(local_path));
    // The notes' folder goes only when it holds nothing else.
    files::RemoveEmptyDirectory(VersionNoteFolder(local_path));
}

FinishedFileIndex::FinishedFileIndex(const std::wstring& work_directory)
    : root_(text::Lower(text::CollapseSeparators(work_directory))) {
    if (files::Exists(work_directory)) List(text::CollapseSeparators(work_directory), root_);
}

void FinishedFileIndex::List(const std::wstring& directory, const std::wstring& lower_directory) {
    const bool listed = files::ForEachEntry(directory, [&](const files::FolderEntry& entry) {
        const std::wstring lower_name = text::Lower(entry.name);
        if (entry.is_directory) {
            if (!entry.is_link && lower_name != kNoteFolder)
                List(directory + L"\\" + entry.name, lower_directory + L"\\" + lower_name);
        } else if (text::EndsWith(lower_name, L"_")) {
            finished_.insert(lower_directory + L"\\" + lower_name);
        }
    });
    if (!listed) complete_ = false;
}

bool FinishedFileIndex::MayHold(const std::wstring& local_path) const {
    const std::wstring path = text::Lower(text::CollapseSeparators(FinishedPath(local_path)));
    const bool inside =
        path.size() > root_.size() + 1 && path.compare(0, root_.size(), root_) == 0 && path[root_.size()] == L'\\';
    return !complete_ || !inside || finished_.count(path) != 0;
}

}  // namespace nm
