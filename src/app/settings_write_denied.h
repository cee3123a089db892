#pragma once
// What a denied write of the settings file offers the user.
#include <string>

namespace nm {

// Asks whether to restart with raised rights; on Yes starts the elevated copy
// and asks the main window to end.
void OfferRestartForDeniedWrite(const std::wstring& settings_file);

}  // namespace nm
