#pragma once
// An offline update package: a copy of the updater that carries a release
// appended to its end, so an update reaches a machine without the server.
#include <string>

#include "list/download_list.h"

namespace nm {

enum class OfflinePackageResult {
    None,     // the executable carries no package
    Loaded,   // the package's update is ready for the local check
    Damaged,  // a package that cannot be trusted; nothing of it was kept
};

// Where the parts of a package go.
struct OfflinePackagePlaces {
    std::wstring executable;             // the running updater
    std::wstring temporary_directory;    // the package copy and the lists it carries, while they are read
    std::wstring list_work_directory;    // the release's files, as finished downloads
    std::wstring local_list_file;        // the package's update list, later the comparison copy
    std::wstring application_directory;  // for the path macros of list paths
};

// Looks at the end of the executable for a package. Loaded: the package's
// files for exactly the entries of its pending list are finished files of the
// list work directory, its update list is the local list file, and `list`
// holds the pending entries (run and description entries split off). With a
// ListPublicKey, the pending entries are those of the package's signed list
// that differ from the comparison copy, and only a list whose signature
// verifies, whose serial is not below the comparison copy's and whose files
// all match their sha256 is loaded.
// Damaged: everything the package wrote is gone again, `list` is unchanged,
// and the log says why.
OfflinePackageResult ProcessOfflinePackage(const OfflinePackagePlaces& places, DownLoadList& list);

}  // namespace nm
