#include "ui/tray_window.h"

#include "services/unavailable.h"

namespace nm {

void ShowTrayWindow() { LogUnavailable(L"The tray icon window"); }

}  // namespace nm
