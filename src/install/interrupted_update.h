#pragma once
// An update that ended in the middle of changing the application's files
// (killed, a power cut, the machine gone) is put right by the next updater
// that starts for the application: its journal says whether every file was
// prepared, and so whether the update goes forward to the new files (with
// the tasks that had not begun, the comparison copy and the version) or back
// to the old ones.
#include <windows.h>

#include <string>

#include "base/system_lock.h"

namespace nm {

// Taken by the updater that changes an application's files, for as long as
// it does; shared by name with the application's other updaters (the copy
// with raised rights among them), so that none settles a journal that
// another is still writing.
SystemLock& InstallLockOf(const std::wstring& application_directory);

// Settles the journal an interrupted update left, if any; the caller holds
// the application's install lock. True when no journal is left open.
bool SettleInterruptedUpdate(const std::wstring& application_directory, HWND window);

// Whether an update's journal is there still: the application must not be
// started while its files may be half new.
bool UpdateJournalOpen(const std::wstring& application_directory);

}  // namespace nm
