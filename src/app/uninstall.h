#pragma once
// The uninstall run mode: the files the kept list names, their shortcuts and
// the folders they leave empty, then the updater's own bookkeeping files.
#include "app/update_context.h"

namespace nm {

void RunUninstall(UpdateContext& context);

}  // namespace nm
