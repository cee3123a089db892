#pragma once
// File operations several steps share, including the patient ones that wait
// for another process (a virus scanner, an indexer) to let go of a file.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace nm::files {

bool Exists(const std::wstring& path);
// True for a folder (or a link to one).
bool IsDirectory(const std::wstring& path);
// The path made absolute against the current folder; as given when it
// cannot be.
std::wstring FullPath(const std::wstring& path);
// Deletes the file, a read-only one too (its attributes cleared first);
// true when it was deleted.
bool Delete(const std::wstring& path);
// Moves a file or folder to a name where nothing stands; false (with the
// system's error kept for GetLastError) when it did not move.
bool Move(const std::wstring& from, const std::wstring& to);
// Moves a file onto its new name, replacing what stands there, written
// through to the disk before it returns.
bool MoveReplacing(const std::wstring& from, const std::wstring& to);
// Copies a file onto its new name, replacing what stands there.
bool CopyReplacing(const std::wstring& from, const std::wstring& to);
// Clears a file's attributes (read-only, hidden ...) to normal.
bool ClearAttributes(const std::wstring& path);
// Removes a folder that is empty; false when it is not, or is not there.
bool RemoveEmptyDirectory(const std::wstring& directory);
// The file's size, or none when it cannot be read.
std::optional<std::int64_t> Size(const std::wstring& path);
// The whole file into bytes; false when it cannot be read or is larger than
// max_bytes (bytes are then unchanged or partly read).
bool ReadAll(const std::wstring& path, std::string& bytes, std::int64_t max_bytes);
// Creates or replaces the file with exactly these bytes; false on any failure.
bool WriteAll(const std::wstring& path, std::string_view bytes);
// Writes a file that must not exist yet, so that nothing is ever replaced;
// a file that could not be written whole is removed again, keeping the
// system's reason of the failure.
enum class NewFile { kWritten, kExists, kFailed };
NewFile WriteNew(const std::wstring& path, std::string_view bytes);
// Creates or replaces the file with the pieces produce() hands to `write`,
// in order, so that files of any size can be put together; false when
// produce or a write failed (the file is then left for the caller).
bool WriteInPieces(const std::wstring& path,
                   const std::function<bool(const std::function<bool(std::string_view piece)>& write)>& produce);
// Hands the whole file to sink in blocks, in order, so that files of any size
// can be copied; false when the file cannot be read or sink refused a block.
bool ReadInBlocks(const std::wstring& path, const std::function<bool(std::string_view block)>& sink);
// Creates every missing level of a directory path.
void CreateDirectoryLevels(const std::wstring& directory);
// Creates every missing folder above a file path.
void CreateParentDirectories(const std::wstring& file_path);
// The bytes this process may still write on the volume of a file path's
// folder; none when the system cannot say.
std::optional<std::uint64_t> FreeBytesFor(const std::wstring& file_path);
// What a folder listing tells of one entry.
struct FolderEntry {
    std::wstring name;
    bool is_directory = false;
    bool is_link = false;  // a junction or symbolic link: never followed
};
// Calls visit for every entry of the folder but "." and ".."; false when the
// folder could not be listed.
bool ForEachEntry(const std::wstring& directory, const std::function<void(const FolderEntry&)>& visit);
// Removes a directory with all its content; true when the directory is gone.
bool RemoveDirectoryTree(const std::wstring& directory);
// Deletes, trying up to 20 times 800 ms apart until the file is gone.
bool DeleteWithRetries(const std::wstring& path);
// Deletes the destination, then moves, each step tried up to 20 times 800 ms apart.
bool ReplaceWithRetries(const std::wstring& from, const std::wstring& to);

}  // namespace nm::files
