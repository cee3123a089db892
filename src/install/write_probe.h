#pragma once
// Whether a file the update will replace can be written, found without
// changing the file: an exclusive open for writing, and for programs and
// libraries (which are replaced by moving them aside) whether they can be
// moved to another name.
#include <windows.h>

#include <string>

#include "install/elevation.h"

namespace nm {

// False only for a file that exists and is held by another process (or
// otherwise cannot be written for a reason other than missing rights). A
// file or folder that needs rights the process lacks passes, and its path is
// noted in `needing_rights` for the elevated restart.
bool ProbeFile(const std::wstring& path, ElevationList& needing_rights);
// ProbeFile; when it fails and asking is allowed, a Retry/Cancel box owned by
// the owner and captioned with the application's name, until it passes
// (true) or the user cancels (false).
bool ProbeFileAsk(const std::wstring& path, ElevationList& needing_rights, bool ask, HWND owner = nullptr);

}  // namespace nm
