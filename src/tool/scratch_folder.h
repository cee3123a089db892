#pragma once
// A folder of the tool's own for one run of a command, under the system's
// folder for temporary files and named by the process, so that two runs at
// once never share one.
#include <string>

namespace nm::tool {

// The folder's path ("novamend-verify-1234" for the command "verify"); the
// caller creates and removes it.
std::wstring ScratchFolderPath(const std::wstring& command);

}  // namespace nm::tool
