#pragma once
// The uninstall run mode: the files the kept list names, their shortcuts and
// the folders they leave empty, then the updater's own bookkeeping files.
namespace nm {

void RunUninstall();

}  // namespace nm
