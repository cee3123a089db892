#pragma once
// The update cycle as one table-driven runner. Each run mode's driver gives
// the rows it runs (which step, from which state, what an error means) and
// what it does between steps; the runner does the rest the same way for all.
#include <windows.h>

#include <functional>
#include <span>

#include "app/update_context.h"

namespace nm {

enum class CycleStep {
    Check,           // the check wrapper
    CheckByVersion,  // the version page first where the settings ask for it
    CheckAgain,      // the check wrapper once more, for the mirrors a version page named
    Download,        // repeated for the failed files while it finishes some
    LocalCheck,
    RestartElevated,  // the copy with raised rights takes the update over
    Copy,
};

// When a row's step runs.
enum class RunsWhen {
    Always,
    BeforeItsOkState,           // the state is below the step's Ok state
    BeforeItsOkStateWithFiles,  // the same, with files pending
    InState,                    // the state is exactly the row's `state`
    AnotherPassNeeded,          // the state is UpdateCheckRemoteOk and the mirrors need a pass
    RightsMissing,              // files need raised rights
};

// What the runner does when a step did not end in its Ok state.
enum class OnError { Stop, GoOn };

struct CycleRow {
    CycleStep step;
    RunsWhen runs_when;
    OnError on_error = OnError::Stop;
    int state = 0;  // for RunsWhen::InState
};

enum class CycleEnd {
    Finished,   // every row was looked at
    Stopped,    // a step ended in error
    Abandoned,  // the driver ended the cycle between steps
    Elevated,   // the copy with raised rights goes on with it
};

struct CycleCallbacks {
    // After each step that ran; false ends the cycle there.
    std::function<bool(CycleStep)> after_step;
};

// The state a step ends in when it went well.
int OkStateOf(CycleStep step);

CycleEnd RunCycle(UpdateContext& context, std::span<const CycleRow> rows, HWND window,
                  const CycleCallbacks& callbacks = {});

}  // namespace nm
