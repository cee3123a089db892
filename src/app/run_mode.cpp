// portable: builds without Win32
#include "app/run_mode.h"

namespace nm {

RunMode RunModeNamed(std::wstring_view text) {
    struct Name {
        std::wstring_view text;
        RunMode mode;
    };
    static constexpr Name kNames[] = {
        {L"checkforupdates", RunMode::CheckForUpdates},
        {L"showwhenupdate", RunMode::ShowWhenUpdate},
        {L"tryicon", RunMode::TrayIcon},
        {L"silence", RunMode::Silence},
        {L"appenter", RunMode::AppEnter},
        {L"appenternoprompt", RunMode::AppEnterNoPrompt},
        {L"uninstall", RunMode::Uninstall},
        {L"emptytemp", RunMode::EmptyTemp},
    };
    for (const Name& name : kNames)
        if (name.text == text) return name.mode;
    return RunMode::Default;
}

}  // namespace nm
