#include "install/main_program.h"

#include <vector>

#include "base/process_list.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "base/window_iterator.h"
#include "services/process_services.h"
#include "services/status_report.h"
#include "services/window_messages.h"

namespace nm {

namespace {
constexpr DWORD kQueryTimeoutMs = 100;
constexpr DWORD kGraceMs = 5000;

std::vector<DWORD> ProcessesWhosePathContains(const std::wstring& lower_text) {
    std::vector<DWORD> found;
    if (lower_text.empty()) return found;
    for (const RunningProcess& process : RunningProcesses())
        if (process.id != ::GetCurrentProcessId() && text::Contains(text::Lower(process.executable), lower_text))
            found.push_back(process.id);
    return found;
}
}  // namespace

bool IsMainProgramClosed(HWND window, const std::wstring& application_setting) {
    const std::wstring application = text::Trim(application_setting);
    if (application.empty()) return true;
    if (!ProcessesWhosePathContains(text::Lower(application)).empty()) {
        ShowAndLog(window, TranslateMain(L"The main program has not closed") + L" " + application, kStatusProblem);
        return false;
    }
    ShowAndLog(window, TranslateMain(L"The main program has closed") + L"[" + application + L"]", kStatusDone);
    return true;
}

bool CloseProcessesMatching(const std::wstring& text) {
    const std::wstring lower = text::Lower(text);
    for (DWORD process_id : ProcessesWhosePathContains(lower)) {
        CMainWindowIterator windows(process_id);
        // A window that refuses to end leaves its process running: the
        // look below tells.
        for (HWND window = windows.First(); window; window = windows.Next())
            if (!::GetParent(window)) CloseProcessWindow(window, process_id);
    }
    return ProcessesWhosePathContains(lower).empty();
}

bool CloseProcessWindow(HWND window, DWORD process_id) {
    if (!::IsWindow(window)) return true;
    DWORD_PTR agreed = 0;
    if (!::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, kQueryTimeoutMs, &agreed) ||
        agreed == 0)
        return false;
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    ::PostMessageW(window, WM_QUIT, 0, 0);
    unique_handle process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, process_id));
    if (process && ::WaitForSingleObject(process.get(), kGraceMs) == WAIT_TIMEOUT) ::TerminateProcess(process.get(), 0);
    return true;
}

}  // namespace nm
