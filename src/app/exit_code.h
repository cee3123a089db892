// portable: builds without Win32
#pragma once
// What the process tells a calling program: how many files needed an
// update, that the list names another version than the installed one, or
// that the cycle failed.
#include <string_view>

#define NOVAMEND_HOST_NUMBERS_ONLY
#include "novamend_host.h"
#undef NOVAMEND_HOST_NUMBERS_ONLY

namespace nm {

// The code that stands for "another version is published".
constexpr int kVersionDiffersCode = NOVAMEND_EXIT_NEW_VERSION;
// The code of a cycle whose check, download or install failed.
constexpr int kCycleFailedCode = NOVAMEND_EXIT_FAILED;

// Whether a state is the end of a step that failed.
inline bool IsStepError(int state) { return state == 2 || state == 5 || state == 8 || state == 11; }
// Whether a state is the end of a step, good or bad.
inline bool IsStepEnd(int state) { return state >= 2 && state <= 12 && state != 4 && state != 7 && state != 10; }

// The list's version is set and differs from the installed one.
inline bool VersionDiffers(std::wstring_view list_version, std::wstring_view installed_version) {
    return !list_version.empty() && list_version != installed_version;
}

// kCycleFailedCode when the last step ended in error, else the number of
// files to update when above 0, else kVersionDiffersCode when the version
// differs, else 0.
inline int ExitCode(bool cycle_failed, long file_count, std::wstring_view list_version,
                    std::wstring_view installed_version) {
    if (cycle_failed) return kCycleFailedCode;
    if (file_count > 0) return static_cast<int>(file_count);
    return VersionDiffers(list_version, installed_version) ? kVersionDiffersCode : 0;
}

// What the application-entry question counts: a differing version stands
// for kVersionDiffersCode files, whatever the list holds.
inline long FilesOrVersionMarker(long file_count, std::wstring_view list_version, std::wstring_view installed_version) {
    return VersionDiffers(list_version, installed_version) ? kVersionDiffersCode : file_count;
}

}  // namespace nm
