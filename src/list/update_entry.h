// portable: builds without Win32
#pragma once
// One entry of the update list.
#include <string>

namespace nm {

// Marker flags that tell run and description entries from file entries.
constexpr unsigned long kRunEntryFlags = 0x7E000000;
constexpr unsigned long kDescriptionEntryFlags = 0x7F000000;

// File entry action bits.
constexpr unsigned long kFlagRun = 0x1;
constexpr unsigned long kFlagDelete = 0x2;
constexpr unsigned long kFlagRegister = 0x4;
constexpr unsigned long kFlagReboot = 0x8;

struct updatefileinfo {
    std::wstring url, path, dstname, ver, message, shortcut, shortcuticon, iconindex;
    unsigned long flags = 0;
};

inline bool IsRunEntry(const updatefileinfo& e) { return e.flags == kRunEntryFlags; }
inline bool IsDescriptionEntry(const updatefileinfo& e) { return e.flags == kDescriptionEntryFlags; }
inline bool IsFileEntry(const updatefileinfo& e) { return (e.flags & kDescriptionEntryFlags) == 0; }

}  // namespace nm
