#pragma once
// The application object: owns the process-wide objects and runs start-up,
// the chosen run mode and the exit handling.
#include <windows.h>

#include <string>

#include "list/download_list.h"
#include "services/process_services.h"

namespace nm {

class CUpdateApp {
public:
    CUpdateApp();

    // The initialisation hook: the start-up sequence and the run mode.
    // Returns whether the message loop is to be entered.
    bool InitInstance();
    // The exit hook: releases hosts, ends COM, empties the table.
    int ExitInstance();
    int ExitCode();

    // The process-wide services, and the update list the cycle works on.
    VariableTable& variables = Services().variables;
    Settings& settings = Services().settings;
    CLanguage& language = Services().language;
    HostRegistry& hosts = Services().hosts;
    DownLoadList list;

    // Start-up values, set once on the interface thread.
    std::wstring executable_base_name;
    long connection_try_count = 3;
    bool elevation_marker = false;
    HWND host_window = nullptr;
    std::wstring run_mode;

private:
    bool Dispatch(const std::wstring& run_mode);
    // The clean-up of the uninstall and emptytemp modes.
    void EmptyTemporaryFiles();

    bool com_started_ = false;
};

// The process's application object.
CUpdateApp& theApp();

}  // namespace nm
