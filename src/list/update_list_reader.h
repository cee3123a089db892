#pragma once
// Reads an update list (XML) into entries: through the system's XML DOM on
// Windows, through the portable reader elsewhere (the native vendor tool).
#ifdef _WIN32
#include <windows.h>
#include <msxml.h>
#endif

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "list/download_list.h"
#include "list/list_compare.h"
#include "list/list_document_reading.h"
#include "list/list_entry.h"

namespace nm {

using list_document::SeenPaths;

// Shows the text of a failed read to the user.
using ListErrorReporter = std::function<void(const std::wstring& text)>;
// The error display of the program: a message box (on the standard error
// stream where there are no windows).
void ShowFormatError(const std::wstring& text);

// Reads the list at path and appends its entries. True when a root element
// ("update", "updates" or "novamend") was found and read. The main list also
// sets the guid, the URL template, the serial and the file hashes of `list`
// (from the direct children guid, fileurl, serial and each file's sha256
// attribute); the comparison copy
// (main_list false) gives entries only. A guid element is removed from the
// file on disk (natively only from a UTF-8 file, which keeps every other
// byte; a file in another encoding keeps it). On Windows, COM must be
// initialised on the thread.
bool ReadUpdateList(const std::wstring& path, std::vector<updatefileinfo>& entries, bool main_list, DownLoadList& list,
                    const ListErrorReporter& report_error = ShowFormatError);

// Reads the comparison copy at path for the comparison alone: the version of
// each path, as ReadUpdateList(path, entries, false) would give the entries
// (the same duplicates dropped, the same normalisation; the first entry with
// a path wins), without reading what the comparison never looks at. The file
// loses its guid and a broken file shows its message, as in ReadUpdateList.
// With serial given, the list's serial number goes there (0 without one).
bool ReadListVersions(const std::wstring& path, ListVersions& versions, std::uint64_t* serial = nullptr);
bool ReadListVersions(const std::wstring& path, ListVersions& versions, const ListErrorReporter& report_error,
                      std::uint64_t* serial = nullptr);

#ifdef _WIN32
// Walks node and everything below it in document order, appending an entry
// for every file, run and description element. The walk keeps its own stack,
// so nesting depth costs memory, not call stack. False on a COM failure.
bool ReadListNode(IXMLDOMNode* node, std::vector<updatefileinfo>& entries, SeenPaths& seen, bool main_list);

// Normalises the entry and appends it under the entry-array lock.
void AddListEntry(updatefileinfo entry, std::vector<updatefileinfo>& entries);
#endif

}  // namespace nm
