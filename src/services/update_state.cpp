#include "services/update_state.h"

#include "services/process_services.h"

namespace nm {

namespace {
UpdateStateHooks& Hooks() {
    static UpdateStateHooks hooks;
    return hooks;
}
}  // namespace

void RegisterUpdateStateHooks(UpdateStateHooks hooks) { Hooks() = std::move(hooks); }

std::wstring UpdateStateName(int code) { return novamend_state_name(code); }

void SetUpdateState(int code, HWND window) {
    const UpdateStateHooks& hooks = Hooks();
    Services().hosts.NotifyState(code, hooks.file_count ? hooks.file_count() : 0);
    if (hooks.store_state) hooks.store_state(code);
    const std::wstring name = UpdateStateName(code);
    if (!name.empty()) RunEventPrograms(name, window);
}

void RunEventPrograms(const std::wstring& key, HWND window) {
    const UpdateStateHooks& hooks = Hooks();
    if (!hooks.run_program) return;
    Settings& settings = Services().settings;
    std::wstring program = settings.Read(L"UpdateEvent", key);
    if (!program.empty()) hooks.run_program(program, window, false);
    program = settings.Read(L"UpdateEventWaitClose", key);
    if (!program.empty()) hooks.run_program(program, window, true);
}

int CurrentUpdateState() {
    const UpdateStateHooks& hooks = Hooks();
    return hooks.load_state ? hooks.load_state() : UpdateNone;
}

}  // namespace nm
