#include "app/dotnet_check.h"

#include <mutex>
#include <set>
#include <vector>

#include "app/dotnet_rules.h"
#include "app/update_app.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "ui/dotnet_download_dialog.h"

namespace nm {

namespace {
// Names of the Framework directories seen by any detection of this process:
// a version once found stays found.
std::mutex detected_lock;
std::set<std::wstring> detected_directories;

std::vector<std::wstring> DetectDotNetVersions() {
    wchar_t windows[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
    std::lock_guard guard(detected_lock);
    if (length > 0 && length < MAX_PATH) {
        const std::wstring pattern =
            text::CollapseSeparators(std::wstring(windows) + L"\\Microsoft.NET\\Framework\\*.*");
        WIN32_FIND_DATAW found{};
        unique_hfind search(::FindFirstFileW(pattern.c_str(), &found));
        if (search) {
            do {
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) detected_directories.insert(found.cFileName);
            } while (::FindNextFileW(search.get(), &found));
        }
    }
    return {detected_directories.begin(), detected_directories.end()};
}

// The required version when the installed Framework lacks it, "" otherwise.
std::wstring MissingDotNetVersion() {
    Settings& settings = theApp().settings;
    const std::wstring required =
        dotnet::RequiredVersion([&](const std::wstring& key) { return settings.Read(L"Novamend", key); });
    if (required.empty() || dotnet::IsInstalled(required, DetectDotNetVersions())) return L"";
    return required;
}
}  // namespace

void OfferDotNetDownload(HWND window, const std::wstring& version) {
    CUpdateApp& app = theApp();
    const std::wstring caption = app.settings.ApplicationName();
    const std::wstring message = text::ReplaceAll(
        app.language.Translate(L"MAIN", L"You must install .Net Framework 1.0 to run main application."), L"1.0",
        version);
    const std::wstring code = dotnet::VersionCode(version);
    std::wstring address = app.settings.Read(L"APPLICATION", L"dotnetfx" + code);
    if (address.empty()) address = dotnet::DefaultInstallerAddress(code, app.settings.ListAddress());
    if (address.empty()) {
        ::MessageBoxW(window, message.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
        return;
    }
    RunDotNetDownloadDialog(window, {address, dotnet::VersionFromCode(code), app.context.connection_try_count});
}

void CheckDotNetFromSettings() {
    const std::wstring missing = MissingDotNetVersion();
    if (!missing.empty()) OfferDotNetDownload(nullptr, missing);
}

bool DotNetGateAllowsStart(HWND window, bool report_missing) {
    const std::wstring missing = MissingDotNetVersion();
    if (missing.empty()) return true;
    if (report_missing) OfferDotNetDownload(window, missing);
    return false;
}

}  // namespace nm
