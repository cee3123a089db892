#pragma once

namespace nm {

// The tray icon window, shown modally until the user or the cycle ends it.
void ShowTrayWindow();

}  // namespace nm
