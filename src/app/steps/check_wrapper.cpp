#include "app/steps/check_step.h"

#include "app/list_address.h"
#include "app/update_app.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "services/status_report.h"
#include "services/update_state.h"
#include "services/window_messages.h"
#include "ui/progress_dialog.h"

namespace nm {

void CheckWrapper(HWND window, ProgressDialogView* dialog) {
    if (dialog) window = dialog->Window();
    if (window && !::IsWindow(window)) window = nullptr;
    com_apartment com;
    CUpdateApp& app = theApp();

    if (CheckNeedsAnotherPass() || CurrentUpdateState() == UpdateNone) {
        SetUpdateState(UpdateCheckRemote, window);
        app.settings.LocalListFile();
        // Kept with the list, so that an elevated copy under another account
        // finds the downloads where this one put them.
        app.list.temporary_directory = app.settings.ListWorkDirectory();
        if (EnsureListAddress(window, window != nullptr) && CheckStep(window)) {
            if (window) {
                HWND parent = ::GetParent(window);
                ::PostMessageW(parent ? parent : window, WM_COMMAND, kCommandCheckDone, 0);
            }
            const long files = app.list.FileCount();
            ShowAndLog(window, text::Format(TranslateMain(L"Found %d files need to update..."),
                                            {std::to_wstring(files)}));
            if (dialog) {
                dialog->ClearFileList();
                for (const auto& entry : app.list.entries) dialog->AddFileRow(entry);
                dialog->RefreshFileList();
            }
            SetUpdateState(UpdateCheckRemoteOk, window);
            if (files == 0) ShowAndLog(window, TranslateMain(L"Find nothing to update."));
        }
    }
    if (dialog && app.list.FileCount() == 0) dialog->HideFileList();
    if (CurrentUpdateState() != UpdateCheckRemoteOk) {
        SetUpdateState(UpdateCheckRemoteError, window);
        app.list.RemoveAll();
    }
    if (dialog) ::PostMessageW(dialog->Window(), WM_COMMAND, kCommandCheckFinished, 0);
}

}  // namespace nm
