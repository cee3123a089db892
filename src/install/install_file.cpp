#include "install/install_file.h"

#include <windows.h>

#include "base/file_ops.h"
#include "base/system_error.h"
#include "base/text.h"
#include "install/old_files.h"
#include "services/log.h"
#include "services/process_services.h"

namespace nm {

namespace {
constexpr int kNumberedBackups = 10;

void LogFailure(const wchar_t* format, const std::wstring& from, const std::wstring& to, DWORD error) {
    WriteLog(text::Format(TranslateMain(format), {from, to}) + SystemReason(error));
}

// Moves the old file aside: to ".__old", else ".__old0" .. ".__old9". The
// name it went to, or "" when every name failed.
std::wstring MoveAside(const std::wstring& target) {
    std::vector<std::wstring> names{target + L".__old"};
    for (int i = 0; i < kNumberedBackups; ++i) names.push_back(target + L".__old" + std::to_wstring(i));
    for (const std::wstring& name : names) {
        if (::MoveFileW(target.c_str(), name.c_str())) return name;
        LogFailure(L"backup file error[%s]to[%s]", target, name, ::GetLastError());
    }
    return {};
}

// Puts `ready` (a file on the target's volume) at target: a plain replacing
// rename, or, when the old file cannot be deleted, after moving it aside.
// On failure the old file is back at target.
bool Replace(const std::wstring& ready, const std::wstring& target, const std::wstring& old_files_list, DWORD* error) {
    if (::MoveFileExW(ready.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    *error = ::GetLastError();
    if (!files::Exists(target)) return false;
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (::MoveFileExW(ready.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    const std::wstring aside = MoveAside(target);
    if (aside.empty()) return false;
    RecordOldFile(old_files_list, aside);
    if (::MoveFileExW(ready.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) return true;
    *error = ::GetLastError();
    ::MoveFileW(aside.c_str(), target.c_str());
    return false;
}

// A copy of staged ready beside target, under a name listed for deletion at
// the next start first, so that an update killed half-way leaves nothing.
std::wstring CopyBeside(const std::wstring& staged, const std::wstring& target, const std::wstring& old_files_list,
                        DWORD* error) {
    const std::wstring beside = target + L".__new";
    RecordOldFile(old_files_list, beside);
    if (::CopyFileW(staged.c_str(), beside.c_str(), FALSE)) return beside;
    *error = ::GetLastError();
    files::Delete(beside);
    return {};
}

bool PlaceOne(const std::wstring& staged, const std::wstring& target, bool last, const std::wstring& old_files_list) {
    files::CreateParentDirectories(target);
    DWORD error = ERROR_SUCCESS;
    // The last target takes the staged file itself when both lie on one volume.
    if (last && ::MoveFileExW(staged.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    if (last && ::GetLastError() != ERROR_NOT_SAME_DEVICE) {
        if (Replace(staged, target, old_files_list, &error)) return true;
        LogFailure(L"move file error[%s]to[%s]", staged, target, error);
        return false;
    }
    const std::wstring beside = CopyBeside(staged, target, old_files_list, &error);
    if (beside.empty() || !Replace(beside, target, old_files_list, &error)) {
        files::Delete(beside);
        LogFailure(last ? L"move file error[%s]to[%s]" : L"copy file error[%s]to[%s]", staged, target, error);
        return false;
    }
    if (last) files::Delete(staged);
    return true;
}
}  // namespace

bool InstallFile(const std::wstring& source, const std::vector<std::wstring>& targets,
                 const std::wstring& old_files_list) {
    const std::wstring staged = source + L"_";
    if (!files::Exists(staged)) return false;
    for (size_t k = 0; k < targets.size(); ++k) {
        if (!PlaceOne(staged, targets[k], k + 1 == targets.size(), old_files_list)) return false;
        WriteLog(text::Format(TranslateMain(L"update file[%s]"), {targets[k]}));
    }
    return true;
}

}  // namespace nm
