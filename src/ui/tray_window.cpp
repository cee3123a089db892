#include "ui/tray_window.h"

#include <utility>

#include "services/log.h"
#include "ui/tray_notification_window.h"

namespace nm {

bool ShowTrayWindow(DownLoadList& list, TrayWindowActions actions) {
    CDlgUpdaterIcon dialog(list, std::move(actions));
    if (dialog.DoModal(nullptr) != -1) return true;
    WriteLog(L"The tray window could not be shown.");
    return false;
}

}  // namespace nm
