#include "services/status_report.h"

#include "services/host_windows.h"
#include "services/log.h"

namespace nm {

void ShowAndLog(HWND window, const std::wstring& text, LPARAM value) {
    ShowStatusText(window, text, value);
    WriteLog(text);
}

}  // namespace nm
