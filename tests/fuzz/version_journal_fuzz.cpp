// portable: builds without Win32
// The version journal as a work directory may hold it: cut short, written by
// another program, anything; a whole record appended after it still holds.
#include "download/version_journal.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace nm::version_journal;
    const std::string_view input = nm::fuzz::Bytes(data, size);
    const size_t split = input.empty() ? 0 : static_cast<unsigned char>(input[0]) % (input.size() + 1);
    const std::string journal(input.substr(0, split));
    const std::wstring version = nm::fuzz::Latin1(input.substr(split));
    const Lookup found = Find(journal + Record(L"A.dll", version), L"a.DLL");
    nm::fuzz::Require(found.noted == Noted::Version && found.encoded_version == EncodeVersion(version),
                      "an appended record is found with its version");
    nm::fuzz::Require(Find(journal + Record(L"a.dll", std::nullopt), L"a.dll").noted == Noted::Forgotten,
                      "an appended forgetting record is found");
    return 0;
}
