#pragma once
// A file of the update is finished when it lies in the list work directory
// under its local path plus "_", beside a note of the version it was
// fetched for. A finished file of another version (left by an interrupted
// cycle before a newer release was published) is not trusted.
#include <string>

namespace nm {

// L + "_": the finished file itself.
std::wstring FinishedPath(const std::wstring& local_path);
// Bookkeeping beside it: the version it was fetched for.
std::wstring FinishedVersionNote(const std::wstring& local_path);
bool IsVersionNote(const std::wstring& path);

// True when the finished file exists and was fetched for this version.
bool IsFinishedFor(const std::wstring& local_path, const std::wstring& version);
// Renames L to L + "_" (retrying while another process holds a file) and
// notes the version. False when the finished file could not be made. A
// caller that knows no note is there (no finished file was, or it was
// discarded) spares the look for it.
enum class EarlierNote { Possible, Absent };
bool MarkFinished(const std::wstring& local_path, const std::wstring& version,
                  EarlierNote earlier_note = EarlierNote::Possible);
// Removes a finished file and its note; the note goes first, so none is
// ever left without its file.
void DiscardFinished(const std::wstring& local_path);

}  // namespace nm
