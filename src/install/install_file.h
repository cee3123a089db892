#pragma once
// Puts a staged file in place at each of an entry's targets.
#include <string>
#include <vector>

namespace nm {

// The staged file is source + "_". Every target but the last receives a
// copy, the last the staged file itself. An old file is replaced only once
// its replacement is ready beside it; one that cannot be deleted (a running
// program, a loaded library) is moved aside under ".__old" (or ".__old0" ..
// ".__old9") and listed in old_files_list for deletion at the next start.
// On any failure the old file stays as it was, the line saying why is
// logged, and the remaining targets are left alone. True when every target
// was written.
bool InstallFile(const std::wstring& source, const std::vector<std::wstring>& targets,
                 const std::wstring& old_files_list);

}  // namespace nm
