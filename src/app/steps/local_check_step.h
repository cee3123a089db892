#pragma once
// The cycle's third step: the main program closed, no target file locked.
#include <windows.h>

#include <string>

namespace nm {

void LocalCheckStep(HWND window);
// Files found to need administrator rights.
long FilesNeedingElevation();
void ClearFilesNeedingElevation();
// Probes a file for write access; records it when it needs raised rights.
bool ProbeWriteAccess(const std::wstring& path);

}  // namespace nm
