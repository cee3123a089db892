// portable: builds without Win32
// The saved pending list, as the copy with raised rights reads it at start.
#include "fuzz_input.h"
#include "list/pending_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace nm;
    DownLoadList list;
    if (!pending_list::Parse(fuzz::Bytes(data, size), list)) return 0;
    // What was read writes back to bytes that read the same.
    const std::string saved = pending_list::Serialise(list);
    DownLoadList again;
    fuzz::Require(pending_list::Parse(saved, again), "a written list reads back");
    fuzz::Require(pending_list::Serialise(again) == saved, "a list reads back unchanged");
    return 0;
}
