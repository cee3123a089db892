// portable: builds without Win32
// A file element's attributes as the list reader meets them, in any order
// and spelling, through to the normalised entry; run commands; serials.
#include "fuzz_input.h"
#include "list/list_entry_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace nm;
    // name=value pairs separated by line feeds.
    const std::wstring input = fuzz::Latin1(fuzz::Bytes(data, size));
    list_entry::FileAttributes attributes;
    size_t start = 0;
    while (start <= input.size()) {
        size_t end = input.find(L'\n', start);
        if (end == std::wstring::npos) end = input.size();
        const std::wstring_view pair = std::wstring_view(input).substr(start, end - start);
        const size_t equals = pair.find(L'=');
        if (equals != std::wstring_view::npos) attributes.Offer(pair.substr(0, equals), pair.substr(equals + 1));
        start = end + 1;
    }
    attributes.Expected();
    updatefileinfo entry = std::move(attributes).Build();
    const std::wstring key = list_entry::DuplicateKey(entry);
    list_entry::Normalise(entry);
    const std::wstring once = entry.path;
    list_entry::Normalise(entry);
    fuzz::Require(entry.path == once || once.find(L"._.zip") != std::wstring::npos,
                  "normalising twice changes nothing");
    const list_entry::RunCommand command = list_entry::SplitRunCommand(input);
    fuzz::Require(list_entry::SplitRunCommand(list_entry::JoinRunCommand(command)).program == command.program,
                  "a run command round-trips");
    list_entry::ListSerial(input);
    list_entry::OperFlags(input);
    return 0;
}
