// portable: builds without Win32
// Update lists as the native tool reads them: any bytes, read by the
// portable XML reader and the list rules.
#include "base/xml_document.h"
#include "fuzz_input.h"
#include "list/portable_list_reader.h"

namespace {

// True when the list's guid holds elements: they go with it, entries among
// them too, as the system's DOM takes them with the node it removes.
bool GuidHoldsElements(std::string_view bytes) {
    nm::xml::Document document;
    std::string error;
    if (!document.Parse(bytes, error)) return false;
    constexpr std::int32_t kNone = nm::xml::Document::kNone;
    for (std::int32_t child = document.FirstChild(document.Root()); child != kNone;
         child = document.NextSibling(child)) {
        if (!document.IsElement(child) || document.Name(child) != L"guid") continue;
        for (std::int32_t inner = document.FirstChild(child); inner != kNone; inner = document.NextSibling(inner))
            if (document.IsElement(inner)) return true;
        return false;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace nm;
    std::vector<updatefileinfo> entries;
    DownLoadList list;
    const portable_list::DocumentRead read =
        portable_list::ReadUpdateList(fuzz::Bytes(data, size), entries, true, list);
    fuzz::Require(read.read || entries.empty(), "no entries without a list");
    if (read.without_guid && !GuidHoldsElements(fuzz::Bytes(data, size))) {
        // The copy on disk loses its guid and stays the same list otherwise.
        std::vector<updatefileinfo> again;
        DownLoadList list_again;
        const portable_list::DocumentRead reread =
            portable_list::ReadUpdateList(*read.without_guid, again, true, list_again);
        fuzz::Require(reread.read && again.size() == entries.size(), "the list without its guid reads the same");
    }
    return 0;
}
