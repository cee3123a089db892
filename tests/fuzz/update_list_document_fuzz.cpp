// portable: builds without Win32
// Update lists as the native tool reads them: any bytes, read by the
// portable XML reader and the list rules.
#include "fuzz_input.h"
#include "list/portable_list_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace nm;
    std::vector<updatefileinfo> entries;
    DownLoadList list;
    const portable_list::DocumentRead read =
        portable_list::ReadUpdateList(fuzz::Bytes(data, size), entries, true, list);
    fuzz::Require(read.read || entries.empty(), "no entries without a list");
    if (read.without_guid) {
        // The copy on disk loses its guid and stays the same list otherwise.
        std::vector<updatefileinfo> again;
        DownLoadList list_again;
        const portable_list::DocumentRead reread =
            portable_list::ReadUpdateList(*read.without_guid, again, true, list_again);
        fuzz::Require(reread.read && again.size() == entries.size(), "the list without its guid reads the same");
    }
    return 0;
}
