#include "install/leftover_files.h"

#include "services/unavailable.h"

namespace nm {

void CleanUpLeftovers() { LogUnavailable(L"Clean-up of replaced files"); }

}  // namespace nm
