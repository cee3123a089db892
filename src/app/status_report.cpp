#include "app/status_report.h"

#include "app/host_windows.h"
#include "app/log.h"

namespace nm {

void ShowAndLog(HWND window, const std::wstring& text, LPARAM value) {
    ShowStatusText(window, text, value);
    WriteLog(text);
}

}  // namespace nm
