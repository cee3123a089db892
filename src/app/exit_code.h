// portable: builds without Win32
#pragma once
// What the process tells a calling program: how many files needed an
// update, or that the list names another version than the installed one.
#include <string_view>

#define NOVAMEND_HOST_NUMBERS_ONLY
#include "novamend_host.h"
#undef NOVAMEND_HOST_NUMBERS_ONLY

namespace nm {

// The code that stands for "another version is published".
constexpr int kVersionDiffersCode = NOVAMEND_EXIT_NEW_VERSION;

// The list's version is set and differs from the installed one.
inline bool VersionDiffers(std::wstring_view list_version, std::wstring_view installed_version) {
    return !list_version.empty() && list_version != installed_version;
}

// The number of files to update when above 0, else kVersionDiffersCode when
// the version differs, else 0.
inline int ExitCode(long file_count, std::wstring_view list_version, std::wstring_view installed_version) {
    if (file_count > 0) return static_cast<int>(file_count);
    return VersionDiffers(list_version, installed_version) ? kVersionDiffersCode : 0;
}

// What the application-entry question counts: a differing version stands
// for kVersionDiffersCode files, whatever the list holds.
inline long FilesOrVersionMarker(long file_count, std::wstring_view list_version, std::wstring_view installed_version) {
    return VersionDiffers(list_version, installed_version) ? kVersionDiffersCode : file_count;
}

}  // namespace nm
