#pragma once
// The process-wide update list object: the entries that need work, the list's
// version text and the update state.
#include <windows.h>

#include <string>
#include <vector>

#include "list/update_entry.h"

namespace nm {

class DownLoadList {
public:
    long FileCount() const { return static_cast<long>(entries.size()); }
    void RemoveAll() { entries.clear(); }
    // Reads a list saved before a restart; false when the file is missing or damaged.
    bool LoadFrom(const std::wstring& file);

    std::vector<updatefileinfo> entries;
    std::wstring remote_version;  // the version the version page names, "" when none
    std::wstring description;
    std::vector<std::wstring> mirror_addresses;
    std::vector<std::wstring> run_commands;
    std::wstring url_base;  // the address of the folder that holds the list
    std::wstring url_template = L"{listurl-base}/{filename}";
    HWND progress_window = nullptr;
    int update_state = 0;
};

}  // namespace nm
