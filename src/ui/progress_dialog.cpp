#include "ui/progress_dialog.h"

#include "services/log.h"
#include "ui/most_simple_dialog.h"

namespace nm {

bool RunProgressDialog(ProgressDialogMode mode, HWND owner, const ProgressDialogActions& actions) {
    CDlgMostSimple dialog(static_cast<int>(mode), actions);
    if (dialog.DoModal(owner) != -1) return true;
    WriteLog(L"The progress window could not be shown.");
    return false;
}

}  // namespace nm
