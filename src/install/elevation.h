#pragma once
// Files that cannot be written for lack of rights are collected; the
// updater then restarts itself with raised rights and the elevation marker,
// and the elevated copy goes on with the pending list it saved.
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "list/download_list.h"

namespace nm {

// The paths found to need administrator rights, in the order found. A
// process that runs with the elevation marker (it has the rights) and a
// system without rights control (before Vista) never collect any.
class ElevationList {
public:
    void SetCollecting(bool collecting) { collecting_ = collecting; }
    void Note(const std::wstring& path);
    bool Any() const;
    void Clear();

private:
    mutable std::mutex lock_;
    std::vector<std::wstring> paths_;
    std::atomic<bool> collecting_{true};
};

// Starts the updater again through the "runas" verb with the elevation
// marker appended to its processed command line; with a pending list, that
// list is saved first for the new process to resume. True when the new
// process was started (callers end their cycle either way).
bool RestartElevated(const DownLoadList* pending);

}  // namespace nm
