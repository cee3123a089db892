#include "download/finished_file.h"

#include "base/file_ops.h"
#include "base/text.h"

namespace nm {

namespace {
constexpr wchar_t kNoteSuffix[] = L"_.__ver";
// A version text is short; a larger note is not one of ours.
constexpr std::int64_t kLargestNote = 64 * 1024;
}  // namespace

std::wstring FinishedPath(const std::wstring& local_path) { return local_path + L"_"; }
std::wstring FinishedVersionNote(const std::wstring& local_path) { return local_path + kNoteSuffix; }
bool IsVersionNote(const std::wstring& path) { return text::EndsWith(path, kNoteSuffix); }

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
    return files::WriteAll(FinishedVersionNote(local_path), text::ToUtf8(version));
}

void DiscardFinished(const std::wstring& local_path) {
    files::Delete(FinishedVersionNote(local_path));
    files::Delete(FinishedPath(local_path));
}

}  // namespace nm
