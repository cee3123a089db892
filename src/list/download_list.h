// portable: builds without Win32
#pragma once
// The process-wide update list object: the entries that need work and what
// the cycle carries along with them.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/url_text.h"
#include "list/list_entry.h"
#include "list/release_control.h"

struct HWND__;  // the window handle type, without pulling in <windows.h>

namespace nm {

class DownLoadList {
public:
    long FileCount() const { return static_cast<long>(entries.size()); }
    void RemoveAll() { entries.clear(); }

    // The base of the list address (the folder that holds the list), stored
    // as the list URL base and returned.
    std::wstring StoreListUrlBase(std::wstring_view address) { return list_url_base = ListUrlBase(address); }
    // The address an entry's file is fetched from: its own, or the URL
    // template with the list's base and the entry's path put in.
    std::wstring EntryUrl(const updatefileinfo& entry) const;
    // Drops the file hashes and sizes of paths that no entry names any longer.
    void KeepFileHashesOfEntries();

    // The saved pending list, written before a restart with raised rights.
    // LoadFrom appends the saved entries to those held and replaces the other
    // saved members; a missing, truncated or damaged file changes nothing and
    // gives false.
    bool SaveTo(const std::wstring& file) const;
    bool LoadFrom(const std::wstring& file);

    static constexpr const wchar_t* kDefaultUrlTemplate = L"{listurl-base}/{filename}";

    std::vector<updatefileinfo> entries;
    int update_state = 0;
    std::wstring description;
    std::map<std::wstring, std::wstring> name_table;
    HWND__* progress_window = nullptr;
    std::wstring list_url_base;
    std::wstring url_template = kDefaultUrlTemplate;
    std::wstring temporary_directory;
    std::wstring guid;
    // The remote version found by the version-number check, "" when none.
    std::wstring remote_version;
    std::vector<std::wstring> mirror_addresses;
    std::vector<std::wstring> run_commands;
    long copy_value = 0;
    // Read from the main list: its serial number (0 when it has none) and
    // each file entry's sha256 text by path (and below, its size). For this process
    // only, and never saved: files are verified as they arrive, and a copy
    // started with raised rights installs what was already verified.
    std::uint64_t serial = 0;
    std::map<std::wstring, std::wstring> file_hashes;
    // Each file entry's size in bytes, where the list gives it; checked as its sha256 is.
    std::map<std::wstring, std::int64_t> file_sizes;
    // The patches a file entry names, by path: each turns the version whose
    // sha256 is `from` into the entry's file.
    struct FilePatch {
        std::wstring from, path, sha256;
        std::int64_t size = 0;
    };
    std::map<std::wstring, std::vector<FilePatch>> file_patches;
    // The main list's pause, expiry and rollout; for this process only.
    ReleaseControl release_control;
};

}  // namespace nm
