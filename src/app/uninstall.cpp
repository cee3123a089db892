#include "app/uninstall.h"

#include <windows.h>

#include <vector>

#include "app/update_app.h"
#include "base/file_ops.h"
#include "base/text.h"
#include "install/elevation.h"
#include "install/old_files.h"
#include "install/write_probe.h"
#include "list/entry_targets.h"
#include "list/update_list_reader.h"

namespace nm {

namespace {
// Deletes a file, then every folder above it that is now empty, up to (not
// including) the application directory.
void DeleteWithEmptyFolders(std::wstring path, const std::wstring& application_directory) {
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
    // The application directory ends in a separator, so the loop stops below it.
    while (path.size() > 3 && text::Contains(path, application_directory)) {
        ::RemoveDirectoryW(path.c_str());  // succeeds only when empty
        const size_t slash = path.find_last_of(L'\\');
        if (slash == std::wstring::npos) break;
        path.resize(slash);
    }
}

// Shortcut files carry ".lnk" even when the list's location leaves it out.
std::wstring ShortcutFile(const std::wstring& location) {
    return text::Contains(text::Lower(location), L".lnk") ? location : location + L".lnk";
}
}  // namespace

void RunUninstall() {
    CUpdateApp& app = theApp();
    ProbeFileAsk(app.settings.SettingsFile(), false);
    if (app.elevation_marker) ClearFilesNeedingElevation();
    if (AnyFileNeedsElevation()) {
        RestartElevated(&app.list);
        return;
    }
    files::RemoveDirectoryTree(app.settings.ListWorkDirectory());

    const std::wstring application_directory = app.settings.ApplicationDirectory();
    const std::wstring kept_list = text::CollapseSeparators(application_directory + L"\\novamend.xml");
    app.list.RemoveAll();
    ReadUpdateList(kept_list, app.list.entries, false, app.list);
    for (const updatefileinfo& entry : app.list.entries) {
        if (!IsFileEntry(entry)) continue;
        for (const std::wstring& target : EntryTargets(entry, application_directory))
            DeleteWithEmptyFolders(target, application_directory);
        if (entry.shortcut.empty()) continue;
        updatefileinfo shortcuts = entry;
        shortcuts.dstname = entry.shortcut;
        for (const std::wstring& location : EntryTargets(shortcuts, application_directory))
            DeleteWithEmptyFolders(ShortcutFile(location), application_directory);
    }
    app.list.RemoveAll();

    const std::wstring log = app.settings.Read(L"Novamend", L"Log");
    if (!log.empty()) ::DeleteFileW(text::CollapseSeparators(application_directory + L"\\" + log).c_str());
    files::Delete(OldFilesList(application_directory));
    ::DeleteFileW(kept_list.c_str());
}

}  // namespace nm
