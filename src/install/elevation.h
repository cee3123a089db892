#pragma once
// Files that cannot be written for lack of rights are collected; the
// updater then restarts itself with raised rights and the elevation marker,
// and the elevated copy goes on with the pending list it saved.
#include <string>
#include <vector>

#include "list/download_list.h"

namespace nm {

// Whether this process was started with the elevation marker; set once at
// start-up. An elevated process never collects paths.
void SetElevationMarker(bool present);
bool ElevationMarkerPresent();

// The paths found to need administrator rights, in the order found.
std::vector<std::wstring> FilesNeedingElevation();
bool AnyFileNeedsElevation();
void ClearFilesNeedingElevation();
// Notes a path, but only on a system with rights control (Vista or later)
// and without the elevation marker.
void NoteNeedsElevation(const std::wstring& path);

// Starts the updater again through the "runas" verb with the elevation
// marker appended to its processed command line; with a pending list, that
// list is saved first for the new process to resume. True when the new
// process was started (callers end their cycle either way).
bool RestartElevated(const DownLoadList* pending);

}  // namespace nm
