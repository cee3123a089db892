#include "app/steps/check_step.h"

#include "app/list_address.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "services/process_services.h"
#include "services/status_report.h"
#include "services/update_state.h"
#include "services/window_messages.h"

namespace nm {

void CheckWrapper(UpdateContext& context, HWND window) {
    if (window && !::IsWindow(window)) window = nullptr;
    com_apartment com;
    DownLoadList& list = context.list;

    if (CheckNeedsAnotherPass(context) || CurrentUpdateState() == UpdateNone) {
        SetUpdateState(UpdateCheckRemote, window);
        context.settings.LocalListFile();
        // Kept with the list, so that an elevated copy under another account
        // finds the downloads where this one put them.
        list.temporary_directory = context.settings.ListWorkDirectory();
        if (EnsureListAddress(context, window, window != nullptr) && CheckStep(context, window)) {
            if (window) {
                HWND parent = ::GetParent(window);
                ::PostMessageW(parent ? parent : window, WM_COMMAND, kCommandCheckDone, 0);
            }
            const long files = list.FileCount();
            ShowAndLog(window,
                       text::Format(TranslateMain(L"Found %d files need to update..."), {std::to_wstring(files)}));
            SetUpdateState(UpdateCheckRemoteOk, window);
            if (files == 0) ShowAndLog(window, TranslateMain(L"Find nothing to update."));
        }
    }
    if (CurrentUpdateState() != UpdateCheckRemoteOk) {
        SetUpdateState(UpdateCheckRemoteError, window);
        list.RemoveAll();
    }
}

}  // namespace nm
