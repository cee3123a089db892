// portable: builds without Win32
// An offline package's archive: its directory, every entry's name as the
// updater judges it, and every entry's data through the inflater and its
// checksum.
#include "base/text.h"
#include "download/offline_package_rules.h"
#include "fuzz_input.h"
#include "install/zip_reader.h"
#include "list/staged_path.h"

namespace {
// Takes every block, as the hash of a package file does.
class TakeAll : public nm::zip::EntrySink {
public:
    int Take(std::string_view) override { return 0; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace nm;
    zip::MemorySource source(fuzz::Bytes(data, size));
    zip::Reader reader(source);
    if (!reader.ok()) return 0;
    TakeAll sink;
    reader.ForEach([&](const zip::EntryInfo& info) -> zip::EntrySink* {
        const std::wstring name = info.utf8_name ? text::FromUtf8(info.name) : fuzz::Latin1(info.name);
        // What the updater unpacks never lands outside its folder.
        if (offline_package::MemberNameStaysInside(name))
            fuzz::Require(!ClimbsOutOfItsRoot(text::ReplaceAll(name, L"/", L"\\")), "a safe name stays inside");
        return &sink;
    });
    reader.ReadEntry(0, sink);
    return 0;
}
