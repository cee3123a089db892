#include "ui/progress_dialog.h"

#include "services/unavailable.h"

namespace nm {

bool RunProgressDialog(ProgressDialogMode, HWND) {
    LogUnavailable(L"The progress window");
    return false;
}

}  // namespace nm
