#include "app/cycle_runner.h"

#include "app/steps/check_step.h"
#include "app/steps/download_step.h"
#include "app/steps/local_check_step.h"
#include "app/steps/replacement_step.h"
#include "install/elevation.h"
#include "services/process_services.h"
#include "services/status_report.h"
#include "services/update_state.h"
#include "services/window_messages.h"

namespace nm {

namespace {
// A download step that ended with errors is repeated for the failed files,
// up to four more times, as long as it finishes at least one file.
void DownloadWithRetries(UpdateContext& context, HWND window) {
    DownloadStep(context, window);
    for (int retry = 0; retry < 4 && CurrentUpdateState() == UpdateDownloadError && context.download.finished > 0;
         ++retry)
        DownloadStep(context, window);
}

bool Runs(UpdateContext& context, const CycleRow& row) {
    const int state = CurrentUpdateState();
    switch (row.runs_when) {
    case RunsWhen::Always:
        return true;
    case RunsWhen::BeforeItsOkState:
        return state < OkStateOf(row.step);
    case RunsWhen::BeforeItsOkStateWithFiles:
        return state < OkStateOf(row.step) && context.FilesPending();
    case RunsWhen::InState:
        return state == row.state;
    case RunsWhen::AnotherPassNeeded:
        return state == UpdateCheckRemoteOk && CheckNeedsAnotherPass(context);
    case RunsWhen::RightsMissing:
        return context.needing_rights.Any();
    }
    return false;
}

void RunStep(UpdateContext& context, CycleStep step, HWND window) {
    switch (step) {
    case CycleStep::Check:
    case CycleStep::CheckAgain:
        CheckWrapper(context, window);
        return;
    case CycleStep::CheckByVersion:
        CheckByVersion(context, window);
        return;
    case CycleStep::Download:
        DownloadWithRetries(context, window);
        return;
    case CycleStep::LocalCheck:
        LocalCheckStep(context, window);
        return;
    case CycleStep::RestartElevated:
        ShowAndLog(window, TranslateMain(L"continue update as administrator"), kStatusProgress);
        // The cycle ends here whether or not the elevated copy started: a
        // declined or failed start leaves the update for a later run.
        RestartElevated(&context.list);
        return;
    case CycleStep::Copy:
        ReplacementStep(context, window);
        return;
    }
}
}  // namespace

int OkStateOf(CycleStep step) {
    switch (step) {
    case CycleStep::Check:
    case CycleStep::CheckByVersion:
    case CycleStep::CheckAgain:
        return UpdateCheckRemoteOk;
    case CycleStep::Download:
        return UpdateDownloadOk;
    case CycleStep::LocalCheck:
        return UpdateCheckLocalOk;
    case CycleStep::RestartElevated:
        // It follows a local check that ended asking for the rights, and
        // ends the cycle itself.
        return UpdateCheckLocalError;
    case CycleStep::Copy:
        return UpdateCopyOk;
    }
    return UpdateEnd;
}

CycleEnd RunCycle(UpdateContext& context, std::span<const CycleRow> rows, HWND window,
                  const CycleCallbacks& callbacks) {
    for (const CycleRow& row : rows) {
        if (!Runs(context, row)) continue;
        RunStep(context, row.step, window);
        if (row.step == CycleStep::RestartElevated) return CycleEnd::Elevated;
        if (callbacks.after_step && !callbacks.after_step(row.step)) return CycleEnd::Abandoned;
        if (CurrentUpdateState() != OkStateOf(row.step) && row.on_error == OnError::Stop) return CycleEnd::Stopped;
    }
    return CycleEnd::Finished;
}

}  // namespace nm
