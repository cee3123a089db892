#include "install/elevation.h"

#include <windows.h>

#include "base/executable_path.h"
#include "base/file_ops.h"
#include "base/shell_start.h"
#include "base/unique_handle.h"
#include "services/process_services.h"

namespace nm {

namespace {
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

void ElevationList::Note(const std::wstring& path) {
    static const bool rights_control = SystemHasRightsControl();
    if (!collecting_ || !rights_control) return;
    std::lock_guard guard(lock_);
    paths_.push_back(path);
}

bool ElevationList::Any() const {
    std::lock_guard guard(lock_);
    return !paths_.empty();
}

void ElevationList::Clear() {
    std::lock_guard guard(lock_);
    paths_.clear();
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
