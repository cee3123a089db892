// portable: builds without Win32
// An update's journal as a start may find it: cut short anywhere, damaged,
// or written by something else. It parses or it is refused; a parsed one
// keeps its steps in order, and its records round-trip through the codec.
#include "fuzz_input.h"
#include "install/install_journal_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    using namespace nm::install_journal;
    const std::string_view input = nm::fuzz::Bytes(data, size);
    Journal journal;
    if (Parse(input, journal)) {
        for (const Step& step : journal.steps)
            nm::fuzz::Require(!step.target.empty() && (step.kind == StepKind::Remove || !step.ready.empty()),
                              "a parsed step names its files");
        for (std::uint32_t done : journal.done) nm::fuzz::Require(done < journal.steps.size(), "done names a step");
    }
    // Any text survives a step record and the parse.
    Step step;
    step.target = nm::fuzz::Latin1(input) + L"x";
    step.ready = step.target + L".__new";
    step.backup = step.target + L".__old";
    Journal written;
    nm::fuzz::Require(Parse(Header() + StepRecord(0, step) + PreparedRecord(), written) && written.steps.size() == 1 &&
                          written.steps[0].target == step.target && written.steps[0].backup == step.backup &&
                          written.prepared,
                      "a written step reads back");
    return 0;
}
