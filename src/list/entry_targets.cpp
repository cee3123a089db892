#include "list/entry_targets.h"

#include "base/path_macros.h"

namespace nm {

std::vector<std::wstring> EntryTargets(const updatefileinfo& entry, const std::wstring& application_directory) {
    return path_macros::EntryTargets(entry.path, entry.dstname, application_directory,
                                     SystemFolders(application_directory));
}

}  // namespace nm
