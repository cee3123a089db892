// portable: builds without Win32
#include "app/command_line.h"

#include <utility>

#include "base/text.h"

namespace nm::command_line {

std::wstring Process(std::wstring_view raw, std::wstring_view application_directory,
                     std::wstring_view executable_base_name) {
    std::wstring line = text::ReplaceAll(text::Lower(raw), L"\"", L"");
    std::wstring own_path = text::CollapseSeparators(
        text::Lower(std::wstring(application_directory) + L"\\" + std::wstring(executable_base_name) + L".exe"));
    line = text::ReplaceAll(line, own_path, L"");
    return text::Trim(line);
}

bool HasElevationMarker(std::wstring_view processed) { return text::Contains(processed, kElevationMarker); }

std::wstring WorkingCopy(std::wstring_view processed) {
    std::wstring copy(processed);
    for (auto& c : copy)
        if (c == L'-' || c == L'/' || c == L' ') c = L',';
    return copy;
}

std::optional<std::wstring> DotNetSwitch(std::wstring_view processed) {
    constexpr std::pair<std::wstring_view, std::wstring_view> kSwitches[] = {
        {L"dotnet10", L"1.0"}, {L"dotnet11", L"1.1"}, {L"dotnet20", L"2.0"},
        {L"dotnet30", L"3.0"}, {L"dotnet35", L"3.5"}, {L"dotnet40", L"4.0"},
    };
    for (const auto& [word, version] : kSwitches) {
        // Only the first occurrence counts, and not at the very first character.
        const size_t at = processed.find(word);
        if (at != std::wstring_view::npos && at > 0) return std::wstring(version);
    }
    return std::nullopt;
}

std::optional<std::wstring> RunModeForWord(std::wstring_view word) {
    constexpr std::pair<std::wstring_view, std::wstring_view> kWords[] = {
        {L"checkforupdates", L"checkforupdates"},
        {L"showwhenupdate", L"showwhenupdate"},
        {L"showwhenhaveupdate", L"showwhenupdate"},
        {L"tryicon", L"tryicon"},
        {L"icon", L"tryicon"},
        {L"silence", L"silence"},
        {L"appenter", L"appenter"},
        {L"appenternoprompt", L"appenternoprompt"},
        {L"uninstall", L"uninstall"},
        {L"emptytemp", L"emptytemp"},
        {L"mostsimple", L"mostsimple"},
    };
    for (const auto& [command_word, mode] : kWords)
        if (word == command_word) return std::wstring(mode);
    return std::nullopt;
}

ModeAndHost ChooseRunModeAndHost(std::wstring_view working_copy, std::wstring_view mode_setting,
                                 const std::function<bool(std::intptr_t)>& is_window) {
    ModeAndHost chosen;
    std::wstring mode(mode_setting);
    for (const std::wstring& piece : text::Split(working_copy, L',')) {
        const std::wstring word = text::Lower(piece);
        if (auto selected = RunModeForWord(word)) mode = *selected;
        const long number = text::ToLong(word);
        if (number != 0 && is_window(static_cast<std::intptr_t>(number))) chosen.host = number;
    }
    chosen.run_mode = text::Trim(text::Lower(mode));
    return chosen;
}

}  // namespace nm::command_line
