#include "install/run_file.h"

#include "base/path_macros.h"
#include "base/shell_start.h"
#include "base/unique_handle.h"
#include "install/action_script.h"
#include "install/run_file_rules.h"
#include "services/process_services.h"
#include "services/status_report.h"
#include "services/window_messages.h"

namespace nm {

namespace {

bool FileExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Expanded(const std::wstring& text) {
    return ExpandPathMacros(text, Services().settings.ApplicationDirectory());
}

// Starts the program shown normally; waits for its end when asked.
bool Start(const std::wstring& program, const std::wstring& parameters, const std::wstring& directory, bool wait) {
    return StartThroughShell({nullptr, program, parameters, directory, SW_SHOW, wait});
}

}  // namespace

bool RunFile(const std::wstring& path, const std::wstring& working_directory, const std::wstring& parameters,
             HWND window, bool wait) {
    const std::wstring program = Expanded(path);
    if (run_file_rules::IsActionScript(program)) return ActionScript(program, window);
    const std::wstring directory = working_directory.empty() ? run_file_rules::FolderOf(program) : working_directory;
    if (!FileExists(program)) return false;
    ShowAndLog(window, run_file_rules::RunReport(TranslateMain(L"Run file"), program, parameters), kStatusStep);
    return Start(program, parameters, directory, wait);
}

bool RunFile(const std::wstring& command_line, HWND window, bool wait) {
    const auto split = run_file_rules::SplitCommandLine(
        command_line, [](const std::wstring& candidate) { return FileExists(Expanded(candidate)); });
    if (split.program.empty()) return false;
    return RunFile(split.program, L"", split.parameters, window, wait);
}

bool RunEntry(const list_entry::RunCommand& command, HWND window) {
    const std::wstring program = Expanded(command.program);
    const std::wstring parameters = Expanded(command.parameters);
    const bool waits = run_file_rules::RunEntryWaits(Expanded(command.wait));
    ShowAndLog(window, run_file_rules::RunEntryReport(TranslateMain(L"Run"), program, parameters, waits), kStatusDone);
    if (!FileExists(program)) return false;
    return Start(program, parameters, L"", waits);
}

}  // namespace nm
