#include "ui/progress_dialog.h"

#include "services/log.h"
#include "ui/progress_window.h"

namespace nm {

bool RunProgressDialog(ProgressDialogMode mode, HWND owner, const ProgressDialogActions& actions) {
    CDlgMostSimple dialog(static_cast<int>(mode), actions);
    if (dialog.DoModal(owner) != -1) return true;
    WriteLog(L"The progress window could not be shown.");
    return false;
}

}  // namespace nm
