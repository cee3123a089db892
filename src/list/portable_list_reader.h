// portable: builds without Win32
#pragma once
// The update list read out of a document's bytes by the portable XML reader,
// with the rules the updater reads its lists by (list_document_reading.h),
// for the native vendor tool.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/xml_document.h"
#include "list/download_list.h"
#include "list/list_compare.h"
#include "list/list_entry.h"

namespace nm::portable_list {

struct DocumentRead {
    // A root element ("update", "updates" or "novamend") was found and read.
    bool read = false;
    // Why the bytes are not a well-formed document; "" when they are.
    std::string not_well_formed;
    // The file without its guid element, when it had one: the copy on disk
    // loses it, as the updater's does. None when the file stays as it is.
    std::optional<std::string> without_guid;
};

// As ReadUpdateList and ReadListVersions, over the file's bytes.
DocumentRead ReadUpdateList(std::string_view bytes, std::vector<updatefileinfo>& entries, bool main_list,
                            DownLoadList& list, const xml::EncodingConverter& convert = nullptr);
DocumentRead ReadListVersions(std::string_view bytes, ListVersions& versions, std::uint64_t* serial,
                              const xml::EncodingConverter& convert = nullptr);

}  // namespace nm::portable_list
