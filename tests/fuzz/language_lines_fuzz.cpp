// portable: builds without Win32
// Language file lines: split, read by the line rules, and looked up.
#include "fuzz_input.h"
#include "base/text.h"
#include "services/language_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace nm;
    std::vector<std::wstring> lines;
    for (const std::string& line : SplitLanguageLines(fuzz::Bytes(data, size))) {
        fuzz::Require(line.size() <= kLanguageLineBytes, "lines are cut");
        lines.push_back(text::FromUtf8(line));
    }
    const std::vector<LanguageEntry> entries = ParseLanguageLines(lines);
    LanguageTable table;
    table.Add(entries);
    for (const LanguageEntry& entry : entries) table.Translate(entry.section, entry.key);
    return 0;
}
