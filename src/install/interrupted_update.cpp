#include "install/interrupted_update.h"

#include <map>
#include <memory>
#include <mutex>

#include "base/file_ops.h"
#include "base/text.h"
#include "base/url_text.h"
#include "install/install_journal.h"
#include "install/journaled_update.h"
#include "install/old_files.h"
#include "install/update_tasks.h"
#include "services/process_services.h"
#include "services/status_report.h"
#include "services/window_messages.h"

namespace nm {

SystemLock& InstallLockOf(const std::wstring& application_directory) {
    static std::mutex locks_lock;
    static std::map<std::wstring, std::unique_ptr<SystemLock>> locks;
    const std::wstring key = text::Lower(text::CollapseSeparators(application_directory + L"\\"));
    std::lock_guard guard(locks_lock);
    auto& lock = locks[key];
    if (!lock) lock = std::make_unique<SystemLock>(L"novamend.install." + ListDigest(key));
    return *lock;
}

bool UpdateJournalOpen(const std::wstring& application_directory) {
    return files::Exists(InstallJournalPath(application_directory));
}

bool SettleInterruptedUpdate(const std::wstring& application_directory, HWND window) {
    const std::wstring path = InstallJournalPath(application_directory);
    if (!files::Exists(path)) return true;
    install_journal::Journal journal;
    JournaledUpdate update(application_directory, OldFilesList(application_directory));
    if (!ReadInstallJournal(path, journal) || !update.Resume(journal) || !update.SettleFiles()) {
        ShowAndLog(window, TranslateMain(L"An interrupted update cannot be settled yet") + L"[" + path + L"]",
                   kStatusProblem);
        return false;
    }
    if (!update.Committed()) {
        ShowAndLog(window, TranslateMain(L"An interrupted update was undone: every file is as it was"), kStatusStep);
        return true;
    }
    // What the committed update had not done yet, it does now.
    DownLoadList list;
    if (!update.Journal().saved_list.empty() && list.LoadFrom(update.Journal().saved_list))
        RunUpdateTasks(update, list, application_directory, window);
    update.Finish();
    ShowAndLog(window, TranslateMain(L"An interrupted update was completed"), kStatusStep);
    return true;
}

}  // namespace nm
