#include "ui/tray_window.h"

#include "app/unavailable.h"

namespace nm {

void ShowTrayWindow() { LogUnavailable(L"The tray icon window"); }

}  // namespace nm
