// portable: builds without Win32
// The version page, split into lines and read for its version and mirrors.
#include "fuzz_input.h"
#include "list/version_page.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace nm;
    std::string joined;
    for (const std::string& line : VersionPageLines(fuzz::Bytes(data, size))) {
        fuzz::Require(line.size() <= 1024 && line.find_first_of("\r\n") == std::string::npos, "lines are cut");
        joined += line;
    }
    const VersionPage page = ParseVersionPage(fuzz::Latin1(joined));
    fuzz::Require(page.version.find(L'<') == std::wstring::npos, "a version ends before a tag");
    return 0;
}
