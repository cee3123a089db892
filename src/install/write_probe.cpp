#include "install/write_probe.h"

#include "base/file_ops.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "services/process_services.h"

namespace nm {

namespace {
constexpr wchar_t kProbeSuffix[] = L".__test";

bool IsProgramOrLibrary(const std::wstring& path) {
    const std::wstring lower = text::Lower(path);
    return lower.size() > 4 && (text::EndsWith(lower, L".exe") || text::EndsWith(lower, L".dll"));
}

// The error of an open, or ERROR_SUCCESS when it opened.
DWORD TryOpen(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags = 0) {
    unique_hfile file(
        ::CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL | flags, nullptr));
    return file ? ERROR_SUCCESS : ::GetLastError();
}

DWORD OpenExclusivelyForWriting(const std::wstring& path) { return TryOpen(path, GENERIC_WRITE, 0, OPEN_EXISTING); }

// A file that vanishes when its handle closes, even when the process dies.
DWORD CreateScratchFile(const std::wstring& path) {
    return TryOpen(path, GENERIC_WRITE, 0, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE);
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// A running program or a loaded library cannot be deleted but can be moved
// to another name, which is how the replacement puts it aside. That needs
// the right to delete the file, which nobody holding it may refuse, and the
// right to add a file to its folder.
bool ProbeMovable(const std::wstring& path, ElevationList& needing_rights) {
    const DWORD opened = TryOpen(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
    if (opened == ERROR_ACCESS_DENIED) {
        needing_rights.Note(path);
        return true;
    }
    if (opened != ERROR_SUCCESS) return false;
    if (CreateScratchFile(path + kProbeSuffix) == ERROR_ACCESS_DENIED) needing_rights.Note(path);
    return true;
}

// A new file needs its folder, or the nearest folder that exists above it,
// to take a file.
void ProbeNewFile(const std::wstring& path, ElevationList& needing_rights) {
    std::wstring folder = FolderOf(path);
    while (!folder.empty() && !files::Exists(folder)) folder = FolderOf(folder);
    const std::wstring scratch = folder == FolderOf(path) ? path : folder + L"\\__probe" + kProbeSuffix;
    if (CreateScratchFile(scratch) == ERROR_ACCESS_DENIED) needing_rights.Note(path);
}
}  // namespace

bool ProbeFile(const std::wstring& path, ElevationList& needing_rights) {
    const bool rights_known_missing = needing_rights.Any();

    // A program an earlier version of the probe left under its probe name
    // is put back first, so the application never stays without it.
    const std::wstring probe_name = path + kProbeSuffix;
    // Should that fail, the probe below reports the file as missing rights or
    // locked, and the program stays under its probe name for the next try.
    if (!files::Exists(path) && files::Exists(probe_name)) files::Move(probe_name, path);
    if (files::Exists(probe_name)) files::Delete(probe_name);

    if (files::Exists(path)) {
        if (OpenExclusivelyForWriting(path) == ERROR_SUCCESS) return true;
        if (IsProgramOrLibrary(path)) return ProbeMovable(path, needing_rights);
        files::ClearAttributes(path);  // the open below tells whether it helped
        const DWORD opened = OpenExclusivelyForWriting(path);
        if (opened == ERROR_SUCCESS) return true;
        if (opened != ERROR_ACCESS_DENIED) return false;
        needing_rights.Note(path);
        return true;
    }
    if (!rights_known_missing) ProbeNewFile(path, needing_rights);
    return true;
}

bool ProbeFileAsk(const std::wstring& path, ElevationList& needing_rights, bool ask, HWND owner) {
    if (ProbeFile(path, needing_rights)) return true;
    if (!ask) return false;
    const std::wstring message = TranslateMain(L"Can't overwrite the file,Please close it.") + L"\n" + path;
    while (::MessageBoxW(owner, message.c_str(), MessageBoxCaption().c_str(), MB_RETRYCANCEL | MB_ICONWARNING) ==
           IDRETRY)
        if (ProbeFile(path, needing_rights)) return true;
    return false;
}

}  // namespace nm
