#include "install/update_tasks.h"

#include "base/text.h"
#include "install/journaled_update.h"
#include "install/library_registration.h"
#include "install/run_file.h"
#include "install/shortcuts.h"
#include "list/entry_targets.h"
#include "list/list_entry_rules.h"
#include "services/process_services.h"
#include "services/status_report.h"
#include "services/window_messages.h"

namespace nm {

namespace {
void RunTask(const UpdateTask& task, const DownLoadList& list, const std::wstring& application_directory, HWND window) {
    const auto shown = [&](const std::wstring& target) { return text::ReplaceAll(target, application_directory, L""); };
    switch (task.kind) {
    case UpdateTask::Kind::Shortcuts: {
        const updatefileinfo& entry = list.entries[task.entry];
        updatefileinfo locations = entry;
        locations.dstname = entry.shortcut;
        CreateShortcuts(EntryTargets(entry, application_directory).front(), entry.shortcuticon,
                        static_cast<int>(text::ToLong(entry.iconindex)), EntryTargets(locations, application_directory),
                        window);
        return;
    }
    case UpdateTask::Kind::Register:
        ShowAndLog(window, TranslateMain(L"Register file") + L"[" + shown(task.target) + L"]", kStatusStep);
        // What the library's own registration does is its own affair.
        RegisterLibrary(task.target);
        return;
    case UpdateTask::Kind::Run:
        RunFile(task.target, L"", L"", window, false);
        return;
    case UpdateTask::Kind::RunElement:
        RunEntry(list_entry::SplitRunCommand(list.run_commands[task.element]), window);
        return;
    }
}
}  // namespace

std::vector<UpdateTask> PlanUpdateTasks(const DownLoadList& list, const std::wstring& application_directory) {
    std::vector<UpdateTask> tasks;
    for (size_t i = 0; i < list.entries.size(); ++i) {
        const updatefileinfo& entry = list.entries[i];
        if (!IsFileEntry(entry) || (entry.flags & kEntryDelete) || entry.shortcut.empty()) continue;
        if (!EntryTargets(entry, application_directory).empty())
            tasks.push_back({UpdateTask::Kind::Shortcuts, i, L"", 0});
    }
    for (size_t i = 0; i < list.entries.size(); ++i) {
        const updatefileinfo& entry = list.entries[i];
        if (entry.flags == 0 || !IsFileEntry(entry) || (entry.flags & kEntryDelete)) continue;
        const std::vector<std::wstring> targets = EntryTargets(entry, application_directory);
        // A library is registered at its first place only.
        if ((entry.flags & kEntryRegister) && !targets.empty())
            tasks.push_back({UpdateTask::Kind::Register, i, targets.front(), 0});
        if (entry.flags & kEntryRun)
            for (const std::wstring& target : targets) tasks.push_back({UpdateTask::Kind::Run, i, target, 0});
    }
    // The check collected the run elements from the last to the first.
    for (size_t j = list.run_commands.size(); j-- > 0;) tasks.push_back({UpdateTask::Kind::RunElement, 0, L"", j});
    return tasks;
}

void RunUpdateTasks(JournaledUpdate& update, const DownLoadList& list, const std::wstring& application_directory,
                    HWND window) {
    const std::vector<UpdateTask> tasks = PlanUpdateTasks(list, application_directory);
    for (std::uint32_t k = 0; k < tasks.size(); ++k) {
        if (update.TaskBegun(k)) continue;
        ::Sleep(1);
        update.BeginTask(k);
        RunTask(tasks[k], list, application_directory, window);
    }
}

}  // namespace nm
