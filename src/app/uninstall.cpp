#include "app/uninstall.h"

#include <windows.h>

#include <vector>

#include "base/file_ops.h"
#include "base/text.h"
#include "install/old_files.h"
#include "install/write_probe.h"
#include "list/entry_targets.h"
#include "list/update_list_reader.h"

namespace nm {

namespace {
// Deletes a file, then every folder above it that is now empty, up to (not
// including) the application directory.
// A file that cannot be deleted stays, and so do the folders above it.
void DeleteWithEmptyFolders(std::wstring path, const std::wstring& application_directory) {
    files::Delete(path);
    // The application directory ends in a separator, so the loop stops below it.
    while (path.size() > 3 && text::Contains(path, application_directory)) {
        files::RemoveEmptyDirectory(path);  // succeeds only when empty
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

void RunUninstall(UpdateContext& context) {
    DownLoadList& list = context.list;
    Settings& settings = context.settings;
    // Only to learn whether the settings file needs raised rights.
    ProbeFileAsk(settings.SettingsFile(), context.needing_rights, false);
    if (context.needing_rights.Any()) {
        // A declined or failed start leaves everything for a later uninstall.
        RestartElevated(&list);
        return;
    }
    files::RemoveDirectoryTree(settings.ListWorkDirectory());

    const std::wstring application_directory = settings.ApplicationDirectory();
    const std::wstring kept_list = text::CollapseSeparators(application_directory + L"\\novamend.xml");
    list.RemoveAll();
    // Without a kept list nothing is known to be installed: only the
    // bookkeeping files go.
    ReadUpdateList(kept_list, list.entries, false, list);
    for (const updatefileinfo& entry : list.entries) {
        if (!IsFileEntry(entry)) continue;
        for (const std::wstring& target : EntryTargets(entry, application_directory))
            DeleteWithEmptyFolders(target, application_directory);
        if (entry.shortcut.empty()) continue;
        updatefileinfo shortcuts = entry;
        shortcuts.dstname = entry.shortcut;
        for (const std::wstring& location : EntryTargets(shortcuts, application_directory))
            DeleteWithEmptyFolders(ShortcutFile(location), application_directory);
    }
    list.RemoveAll();

    // Each goes if it is there.
    const std::wstring log = settings.LogName();
    if (!log.empty()) files::Delete(text::CollapseSeparators(application_directory + L"\\" + log));
    files::Delete(OldFilesList(application_directory));
    files::Delete(kept_list);
}

}  // namespace nm
