#pragma once
// A file of the update is finished when it lies in the list work directory
// under its local path plus "_", with a note of the version it was fetched
// for. A finished file of another version (left by an interrupted cycle
// before a newer release was published) is not trusted.
#include <string>
#include <unordered_set>

namespace nm {

// L + "_": the finished file itself.
std::wstring FinishedPath(const std::wstring& local_path);
// Bookkeeping for it: the version it was fetched for, a record in the
// journal of its folder. The journals lie in a folder of their own inside
// the folder, so that bookkeeping never adds to the entries of the folder
// the files are made in (under Wine every new name reads its whole folder).
std::wstring VersionNoteFolder(const std::wstring& local_path);
std::wstring VersionJournal(const std::wstring& local_path);
// Where builds before the journals kept the version: a note per file.
std::wstring FinishedVersionNote(const std::wstring& local_path);

// True when the finished file exists and was fetched for this version.
bool IsFinishedFor(const std::wstring& local_path, const std::wstring& version);
// Renames L to L + "_" (retrying while another process holds a file) and
// notes the version. False when the finished file could not be made. A
// caller that knows no version is noted (no finished file was, or it was
// discarded) spares forgetting it first.
enum class EarlierNote { Possible, Absent };
bool MarkFinished(const std::wstring& local_path, const std::wstring& version,
                  EarlierNote earlier_note = EarlierNote::Possible);
// The note alone, for a file fetched straight to its finished name where no
// version was noted. False when it could not be written.
bool NoteFinishedVersion(const std::wstring& local_path, const std::wstring& version);
// Removes a finished file; its version is forgotten first, so none is ever
// noted for a file that is not the one fetched for it.
void DiscardFinished(const std::wstring& local_path);
// Removes the bookkeeping of a file's folder before the folder leaves the
// work directory: the file's own note of an older build, the journal, and
// the notes' folder once it is empty.
void RemoveVersionNotes(const std::wstring& local_path);

// The finished files under a work directory, listed once when a step
// begins: one listing answers "is there one?" for every entry, where a look
// per entry would read the folder again each time.
class FinishedFileIndex {
public:
    explicit FinishedFileIndex(const std::wstring& work_directory);
    // False only when the listing showed no finished file for this path;
    // a path outside the listed tree, or a listing that failed, may hold one.
    bool MayHold(const std::wstring& local_path) const;

private:
    void List(const std::wstring& directory, const std::wstring& lower_directory);

    std::wstring root_;                          // lower case, separators collapsed
    std::unordered_set<std::wstring> finished_;  // lower-case full paths of L + "_"
    bool complete_ = true;
};

}  // namespace nm
