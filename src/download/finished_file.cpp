#include "download/finished_file.h"

#include <windows.h>

#include "base/file_ops.h"
#include "base/text.h"

namespace nm {

namespace {
constexpr wchar_t kNoteSuffix[] = L"_.__ver";
constexpr wchar_t kNoteFolder[] = L"__versions4novamend";
// A version text is short; a larger note is not one of ours.
constexpr std::int64_t kLargestNote = 64 * 1024;

size_t LeafStart(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? 0 : slash + 1;
}

// Where builds before the notes' own folder left them: beside the file.
std::wstring NoteBesideFile(const std::wstring& local_path) { return local_path + kNoteSuffix; }
}  // namespace

std::wstring FinishedPath(const std::wstring& local_path) { return local_path + L"_"; }

std::wstring VersionNoteFolder(const std::wstring& local_path) {
    return local_path.substr(0, LeafStart(local_path)) + kNoteFolder;
}

std::wstring FinishedVersionNote(const std::wstring& local_path) {
    return VersionNoteFolder(local_path) + L"\\" + local_path.substr(LeafStart(local_path)) + kNoteSuffix;
}

bool IsFinishedFor(const std::wstring& local_path, const std::wstring& version) {
    if (!files::Exists(FinishedPath(local_path))) return false;
    std::string noted;
    return files::ReadAll(FinishedVersionNote(local_path), noted, kLargestNote) &&
           text::FromUtf8(noted) == version;
}

bool MarkFinished(const std::wstring& local_path, const std::wstring& version, EarlierNote earlier_note) {
    // An older note goes first, the new one last: a finished file without a
    // note counts as unknown and is fetched again.
    if (earlier_note == EarlierNote::Possible) files::Delete(FinishedVersionNote(local_path));
    // A file that could not take the finished name is not left half-marked.
    if (!files::Exists(local_path) || !files::ReplaceWithRetries(local_path, FinishedPath(local_path))) {
        files::Delete(local_path);
        return false;
    }
    return NoteFinishedVersion(local_path, version);
}

bool NoteFinishedVersion(const std::wstring& local_path, const std::wstring& version) {
    const std::wstring note = FinishedVersionNote(local_path);
    const std::string text = text::ToUtf8(version);
    if (files::WriteAll(note, text)) return true;
    // The folder's first note makes the notes' folder.
    ::CreateDirectoryW(VersionNoteFolder(local_path).c_str(), nullptr);
    return files::WriteAll(note, text);
}

void DiscardFinished(const std::wstring& local_path) {
    files::Delete(FinishedVersionNote(local_path));
    files::Delete(NoteBesideFile(local_path));
    files::Delete(FinishedPath(local_path));
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
    const bool inside = path.size() > root_.size() + 1 && path.compare(0, root_.size(), root_) == 0 &&
                        path[root_.size()] == L'\\';
    return !complete_ || !inside || finished_.count(path) != 0;
}

}  // namespace nm
