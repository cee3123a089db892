#include "install/elevation.h"

#include <windows.h>

#include <atomic>
#include <mutex>

#include "base/executable_path.h"
#include "base/file_ops.h"
#include "base/shell_start.h"
#include "base/unique_handle.h"
#include "services/process_services.h"

namespace nm {

namespace {
std::atomic<bool> elevation_marker{false};
std::mutex list_lock;
std::vector<std::wstring> needing_elevation;

constexpr wchar_t kMarkerArgument[] = L"/___runas_admin___";

bool SystemHasRightsControl() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(&version)) return true;
#pragma GCC diagnostic pop
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion > 5;
}
}  // namespace

void SetElevationMarker(bool present) { elevation_marker = present; }
bool ElevationMarkerPresent() { return elevation_marker; }

std::vector<std::wstring> FilesNeedingElevation() {
    std::lock_guard guard(list_lock);
    return needing_elevation;
}

bool AnyFileNeedsElevation() {
    std::lock_guard guard(list_lock);
    return !needing_elevation.empty();
}

void ClearFilesNeedingElevation() {
    std::lock_guard guard(list_lock);
    needing_elevation.clear();
}

void NoteNeedsElevation(const std::wstring& path) {
    if (elevation_marker || !SystemHasRightsControl()) return;
    std::lock_guard guard(list_lock);
    needing_elevation.push_back(path);
}

bool RestartElevated(const DownLoadList* pending) {
    ProcessServices& services = Services();
    const std::wstring saved = services.settings.SavedPendingList();
    files::Delete(saved);
    if (pending) pending->SaveTo(saved);

    const std::wstring command_line = services.variables.Get(L"commandline");
    const std::wstring parameters = command_line.empty() ? kMarkerArgument : command_line + L" " + kMarkerArgument;
    services.variables.Set(L"runasadmin", L"___runas_admin___");

    const std::wstring executable = ExecutablePath();
    const std::wstring directory = services.settings.ApplicationDirectory();
    // A declined or failed start is simply no second process, and the update
    // is left for a later run.
    return StartThroughShell({L"runas", executable, parameters, directory, SW_SHOW, false});
}

}  // namespace nm
