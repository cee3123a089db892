#pragma once
// A changed file made from the installed one and a patch the list names for
// it, instead of fetching the whole file.
#include <windows.h>

#include <string>

#include "list/download_list.h"

namespace nm {

struct FetchSettings;

// When one of the entry's patches applies to the file at `installed`: the
// patch fetched (its size and sha256 checked), applied, and the result, which
// must have the entry's size and sha256, made the finished file of `local`
// for `version`. False, with a log line saying why, whenever that fails, so
// the caller fetches the whole file.
bool FetchThroughPatch(DownLoadList& list, long row, const std::wstring& entry_path, const std::wstring& installed,
                       const std::wstring& local, const std::wstring& version, const FetchSettings& settings,
                       long connect_tries, HWND window);

}  // namespace nm
