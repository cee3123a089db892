// portable: builds without Win32
#pragma once
// One entry of the update list. File, run and description entries share the
// record; the marker values in flags tell them apart.
#include <cstdint>
#include <string>

namespace nm {

struct updatefileinfo {
    std::wstring url, path, dstname, ver, message, shortcut, shortcuticon, iconindex;
    std::uint32_t flags = 0;
};

// Action bits of a file entry.
constexpr std::uint32_t kEntryRun = 1;
constexpr std::uint32_t kEntryDelete = 2;
constexpr std::uint32_t kEntryRegister = 4;
constexpr std::uint32_t kEntryNeedsRestart = 8;

// Markers of the entries that are not files; nothing with one of these bits
// set is ever downloaded.
constexpr std::uint32_t kRunEntryMarker = 0x7E000000;
constexpr std::uint32_t kDescriptionEntryMarker = 0x7F000000;
constexpr std::uint32_t kNotAFileMask = 0x7F000000;

inline bool IsRunEntry(const updatefileinfo& e) { return e.flags == kRunEntryMarker; }
inline bool IsDescriptionEntry(const updatefileinfo& e) { return e.flags == kDescriptionEntryMarker; }
inline bool IsFileEntry(const updatefileinfo& e) { return (e.flags & kNotAFileMask) == 0; }

// Entries with none of these bits bring a file with them: deletions (2),
// 0x10, 0x20 and the non-file entries bring none.
constexpr std::uint32_t kNoFileFlags = kEntryDelete | 0x10 | 0x20 | kNotAFileMask;
inline bool CarriesFile(const updatefileinfo& e) { return (e.flags & kNoFileFlags) == 0; }

}  // namespace nm
