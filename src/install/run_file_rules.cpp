// portable: builds without Win32
#include "install/run_file_rules.h"

#include "base/text.h"

namespace nm::run_file_rules {

ProgramAndParameters SplitCommandLine(std::wstring_view command_line,
                                      const std::function<bool(const std::wstring&)>& file_exists) {
    const std::wstring line = text::Trim(command_line);
    if (line.empty()) return {};
    if (line.front() == L'"') {
        const std::size_t close = line.find(L'"', 1);
        if (close == std::wstring::npos) return {line.substr(1), L""};
        return {line.substr(1, close - 1), text::Trim(std::wstring_view(line).substr(close + 1))};
    }
    for (std::size_t end = line.size(); end != std::wstring::npos && end > 0; end = line.rfind(L' ', end - 1)) {
        const std::wstring candidate = text::Trim(std::wstring_view(line).substr(0, end));
        if (!candidate.empty() && file_exists(candidate))
            return {candidate, text::Trim(std::wstring_view(line).substr(end))};
    }
    const std::size_t space = line.find(L' ');
    if (space == std::wstring::npos) return {line, L""};
    return {line.substr(0, space), text::Trim(std::wstring_view(line).substr(space))};
}

std::wstring FolderOf(std::wstring_view path) {
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring_view::npos ? std::wstring() : std::wstring(path.substr(0, slash));
}

std::wstring FileNameOf(std::wstring_view path) {
    const std::size_t slash = path.rfind(L'\\');
    return std::wstring(slash == std::wstring_view::npos ? path : path.substr(slash + 1));
}

bool IsActionScript(std::wstring_view path) { return text::EndsWith(text::Lower(path), L".xml"); }

std::wstring RunReport(std::wstring_view run_file_text, std::wstring_view path, std::wstring_view parameters) {
    std::wstring report(run_file_text);
    report += L"[" + FileNameOf(path) + L"]";
    if (!parameters.empty()) report += L"[" + std::wstring(parameters) + L"]";
    return report;
}

bool RunEntryWaits(std::wstring_view wait_text) {
    std::wstring text = text::Lower(wait_text);
    for (auto& c : text)
        if (c == L'y' || c == L't' || c == L'o') c = L'1';
    return text::Contains(text, L"1");
}

bool ScriptRunWaits(std::wstring_view waitclose) {
    const std::wstring text = text::Lower(waitclose);
    return text.find_first_of(L"1yt") != std::wstring::npos;
}

std::wstring RunEntryReport(std::wstring_view run_text, std::wstring_view program, std::wstring_view parameters,
                            bool waits) {
    const std::wstring brackets =
        L"[" + std::wstring(program) + L"][" + std::wstring(parameters) + L"][" + (waits ? L"wait" : L"nowait") + L"]";
    return std::wstring(run_text) + text::ReplaceAll(brackets, L"[]", L"");
}

}  // namespace nm::run_file_rules
