#pragma once
// What a denied write of the settings file offers the user.
#include <string>

namespace nm {

// While the updater shows a window: asks whether to restart with raised
// rights, and on Yes starts the elevated copy and asks the window to end.
// Without a window, the refusal is written to the log.
void OfferRestartForDeniedWrite(const std::wstring& settings_file);

}  // namespace nm
