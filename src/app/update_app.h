#pragma once
// The application object: owns the process-wide objects and runs start-up,
// the chosen run mode and the exit handling.
#include <windows.h>

#include <string>

#include "app/update_context.h"
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
    // What the cycle's steps are given, start-up values among it.
    UpdateContext context{list, settings, variables, hosts};

private:
    bool Dispatch(RunMode mode);
    // The clean-up of the uninstall and emptytemp modes.
    void EmptyTemporaryFiles();

    bool com_started_ = false;
};

// The process's application object.
CUpdateApp& theApp();

}  // namespace nm
