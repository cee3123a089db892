#include "download/offline_package.h"

#include <windows.h>

#include <map>
#include <optional>
#include <set>
#include <vector>

#include "base/file_ops.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "download/finished_file.h"
#include "download/offline_package_rules.h"
#include "install/zip_package.h"
#include "list/list_compare.h"
#include "list/pending_list.h"
#include "list/staged_path.h"
#include "services/log.h"

namespace nm {

namespace {
using namespace offline_package;

constexpr DWORD kCopyBlock = 64 * 1024;
// Far above any real pending list; a larger one is not ours.
constexpr std::int64_t kLargestPendingList = 256LL * 1024 * 1024;

bool ReadExactly(HANDLE file, char* buffer, DWORD size) {
    DWORD read = 0;
    return ::ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

bool SeekTo(HANDLE file, std::uint64_t position) {
    LARGE_INTEGER distance{};
    distance.QuadPart = static_cast<LONGLONG>(position);
    return ::SetFilePointerEx(file, distance, nullptr, FILE_BEGIN) != FALSE;
}

Trailer FindTrailer(HANDLE executable) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(executable, &size) || static_cast<std::uint64_t>(size.QuadPart) < kTrailerBytes) return {};
    std::string last(kTrailerBytes, '\0');
    if (!SeekTo(executable, size.QuadPart - kTrailerBytes) || !ReadExactly(executable, last.data(), kTrailerBytes))
        return {};
    return ReadTrailer(last, static_cast<std::uint64_t>(size.QuadPart));
}

// Exactly the package's bytes, nothing of the trailer after them.
bool CopyPackageOut(HANDLE executable, const Trailer& trailer, const std::wstring& copy) {
    files::Delete(copy);
    unique_hfile out(::CreateFileW(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                   nullptr));
    if (!out)  // a scanner may hold the old copy for a moment
        out.reset(::CreateFileW(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!out || !SeekTo(executable, trailer.offset)) return false;
    std::vector<char> block(kCopyBlock);
    for (std::uint64_t left = trailer.size; left > 0;) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::uint64_t>(left, kCopyBlock));
        DWORD written = 0;
        if (!ReadExactly(executable, block.data(), chunk) ||
            !::WriteFile(out.get(), block.data(), chunk, &written, nullptr) || written != chunk)
            return false;
        left -= chunk;
    }
    return true;
}

// Says in the log why a package is not used; false.
bool Damage(const std::wstring& reason) {
    WriteLog(L"Offline update package: " + reason);
    return false;
}

// Reads a package copy into place. A package found damaged half-way takes
// back everything it unpacked.
class PackageReader {
public:
    PackageReader(const OfflinePackagePlaces& places, const std::wstring& copy) : places_(places), copy_(copy) {}

    // All or nothing: true when every file of the pending entries is staged
    // and pending_bytes holds the pending list.
    bool Unpack(std::string& pending_bytes) {
        DownLoadList pending;
        if (!ReadPendingList(pending_bytes)) return false;
        if (!pending_list::Parse(pending_bytes, pending)) return Damage(L"the pending list is damaged");
        if (!PlanStaging(pending)) return false;
        if (Stage()) return true;
        Discard();
        return false;
    }

private:
    // The pending list's bytes, and every name checked, in one walk.
    bool ReadPendingList(std::string& bytes) {
        const std::wstring list_file = text::CollapseSeparators(places_.temporary_directory + L"\\" +
                                                                std::wstring(kPendingListMember));
        files::Delete(list_file);
        bool names_safe = true;
        const int walked = ForEachZipEntry(copy_, [&](const std::wstring& name) -> std::wstring {
            if (!MemberNameStaysInside(name)) {
                names_safe = names_safe && Damage(L"an entry leaves its folder: " + name);
                return L"";
            }
            names_.insert(text::Lower(name));
            return text::EqualsNoCase(name, kPendingListMember) ? list_file : L"";
        });
        const bool read = files::ReadAll(list_file, bytes, kLargestPendingList);
        files::Delete(list_file);
        if (!names_safe) return false;
        if (walked != 0) return Damage(L"the archive cannot be read");
        if (!read) return Damage(L"the pending list is missing");
        return true;
    }

    // Where each file of the pending entries is staged, by archive name:
    // where the download step would leave it.
    bool PlanStaging(const DownLoadList& pending) {
        if (!names_.count(text::Lower(std::wstring(kUpdateListMember)))) return Damage(L"the update list is missing");
        unpack_to_[text::Lower(std::wstring(kUpdateListMember))] = places_.local_list_file;
        for (const updatefileinfo& entry : pending.entries) {
            if (!CarriesFile(entry)) continue;
            const std::optional<std::wstring> staged = StagedRelativePath(entry.path);
            if (!staged || EntryClimbsOut(entry)) return Damage(L"a list path leaves its folder: " + entry.path);
            const std::wstring name = text::Lower(MemberName(*staged));
            if (!names_.count(name)) return Damage(L"a file of the list is missing: " + entry.path);
            const std::wstring local = text::CollapseSeparators(places_.list_work_directory + L"\\" + *staged);
            unpack_to_[name] = local;
            finished_[local] = entry.ver;
        }
        return true;
    }

    // Unpacked, each file becomes a finished download of its entry's version.
    bool Stage() {
        const int walked = ForEachZipEntry(copy_, [&](const std::wstring& name) -> std::wstring {
            const auto local = unpack_to_.find(text::Lower(name));
            return local == unpack_to_.end() ? L"" : local->second;
        });
        if (walked != 0) return Damage(L"an entry cannot be unpacked (" + std::to_wstring(walked) + L")");
        for (const auto& [local, version] : finished_)
            if (!MarkFinished(local, version)) return Damage(L"cannot mark as finished: " + local);
        return true;
    }

    void Discard() {
        files::Delete(places_.local_list_file);
        for (const auto& [local, version] : finished_) {
            files::Delete(local);
            DiscardFinished(local);
        }
    }

    const OfflinePackagePlaces& places_;
    const std::wstring copy_;
    std::set<std::wstring> names_;
    std::map<std::wstring, std::wstring> unpack_to_;  // archive name, destination
    std::map<std::wstring, std::wstring> finished_;   // local path, version
};
}  // namespace

OfflinePackageResult ProcessOfflinePackage(const OfflinePackagePlaces& places, DownLoadList& list) {
    unique_hfile executable(::CreateFileW(places.executable.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!executable) return OfflinePackageResult::None;
    const Trailer trailer = FindTrailer(executable.get());
    if (trailer.kind == TrailerKind::None) return OfflinePackageResult::None;
    if (trailer.kind == TrailerKind::Damaged) {
        Damage(L"the sizes in its trailer do not match the file");
        return OfflinePackageResult::Damaged;
    }

    files::CreateDirectoryLevels(places.temporary_directory);
    const std::wstring copy = text::CollapseSeparators(places.temporary_directory + L"\\__package4novamend.tmp");
    const bool copied = CopyPackageOut(executable.get(), trailer, copy);
    executable.reset();
    std::string pending_bytes;
    const bool unpacked = copied ? PackageReader(places, copy).Unpack(pending_bytes)
                                 : Damage(L"it cannot be copied to " + copy);
    // Nothing reads the copy once its files are out, and it may be large.
    files::Delete(copy);
    if (!unpacked) return OfflinePackageResult::Damaged;
    pending_list::Parse(pending_bytes, list);
    // Kept with the list, as the check does, so an elevated copy finds the files.
    list.temporary_directory = places.list_work_directory;
    SplitOffDescriptionAndRuns(list.entries, list.description, list.run_commands);
    return OfflinePackageResult::Loaded;
}

}  // namespace nm
