#pragma once
// What one run of the updater works on: made by the program at start-up and
// handed to every step of the cycle, which reach nothing else of the program.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "app/exit_code.h"
#include "app/run_mode.h"
#include "base/unique_handle.h"
#include "install/elevation.h"
#include "list/download_list.h"
#include "services/host_windows.h"
#include "services/settings.h"
#include "services/variable_table.h"

namespace nm {

// What the download step keeps between its calls of one cycle: a call after
// failures fetches only the rows that failed, and the driver repeats the
// step while it finishes files.
struct DownloadTally {
    std::atomic<long> finished{0};  // fetched or found done since the cycle's first call
    std::atomic<long> running{0};   // files in flight
    std::mutex failed_lock;
    std::vector<long> failed;    // rows that failed, under failed_lock
    std::wstring first_failure;  // the log line of the first, under failed_lock
    // Set whenever a file ends, so the step's waits wake at once.
    unique_handle file_ended{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
};

struct UpdateContext {
    UpdateContext(DownLoadList& list, Settings& settings, VariableTable& variables, HostRegistry& hosts)
        : list(list), settings(settings), variables(variables), hosts(hosts) {}
    UpdateContext(const UpdateContext&) = delete;
    UpdateContext& operator=(const UpdateContext&) = delete;

    DownLoadList& list;
    Settings& settings;
    VariableTable& variables;
    HostRegistry& hosts;

    // Start-up values, set once on the interface thread.
    RunMode run_mode = RunMode::Default;
    HWND host_window = nullptr;
    bool elevation_marker = false;
    long connection_try_count = 3;
    // The cycle runs without the user waiting on it (silence, the tray's
    // automatic update): its downloads keep to the background rate cap.
    bool in_background = false;
    std::wstring executable_base_name;

    // Files found to need raised rights; the restart with them finishes the update.
    ElevationList needing_rights;
    DownloadTally download;

    // How the last step of the cycle ended (its Ok or Error state), whether
    // the copy with raised rights took the update over, and the line that
    // says why the cycle failed ("" while nothing failed).
    int last_step_end = 0;
    bool handed_over = false;
    std::wstring failure;

    bool FilesPending() const { return list.FileCount() > 0; }
    // The check, the download or the install failed, and nobody took it over.
    bool CycleFailed() const { return IsStepError(last_step_end) && !handed_over; }
};

}  // namespace nm
