// portable: builds without Win32
// The version journal as a work directory may hold it: cut short, written by
// another program, anything.
#include "download/version_journal.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace nm;
    const std::string_view input = fuzz::Bytes(data, size);
    const size_t split = input.empty() ? 0 : static_cast<unsigned char>(input[0]) % (input.size() + 1);
    const std::string journal(input.substr(0, split));
    const std::wstring version = fuzz::Latin1(input.substr(split));
    version_journal::Find(journal, L"a.dll");
    // Whatever came before, a whole record appended after it holds.
    const auto found = version_journal::Find(journal + version_journal::Record(L"A.dll", version), L"a.DLL");
    fuzz::Require(found.noted == version_journal::Noted::Version, "an appended record is found");
    fuzz::Require(found.encoded_version == version_journal::EncodeVersion(version), "with its version");
    const auto forgotten = version_journal::Find(journal + version_journal::Record(L"a.dll", std::nullopt), L"a.dll");
    fuzz::Require(forgotten.noted == version_journal::Noted::Forgotten, "a forgetting record is found");
    return 0;
}
