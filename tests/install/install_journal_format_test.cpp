// portable: builds without Win32
#include "install/install_journal_format.h"

#include <gtest/gtest.h>

namespace nm::install_journal {
namespace {

TEST(InstallJournalFormat, ALineCutShortCountsForNothingAndTheDirectionFollowsThePreparation) {
    Step step;
    step.target = L"C:\\app\\tab\there%.txt";
    step.ready = step.target + L".__new";
    std::string bytes = Header() + VersionRecord(L"2.0") + StepRecord(0, step) +
                        ReadyRecord(0, ReadyMade::Moved, L"C:\\t\\f_") + "a record of a later build\n";
    Journal journal;
    ASSERT_TRUE(Parse(bytes + "prepa", journal));
    EXPECT_EQ(journal.steps.at(0).target, step.target);
    EXPECT_EQ(journal.steps[0].made, ReadyMade::Moved);
    EXPECT_EQ(journal.version.value_or(L""), L"2.0");
    EXPECT_EQ(Direction(journal), Settle::Back);  // the "prepared" line was cut short

    ASSERT_TRUE(Parse(bytes + PreparedRecord() + DoneRecord(0), journal));
    EXPECT_EQ(Direction(journal), Settle::Forward);
    ASSERT_TRUE(Parse(bytes + PreparedRecord() + RollbackRecord(), journal));
    EXPECT_EQ(Direction(journal), Settle::Back);

    // A step out of order, or a file that is no journal, is refused.
    EXPECT_FALSE(Parse(Header() + StepRecord(1, step), journal));
    EXPECT_FALSE(Parse("something else\n", journal));
    // Ended inside its first line: nothing was changed yet.
    ASSERT_TRUE(Parse(Header().substr(0, 10), journal));
    EXPECT_TRUE(journal.steps.empty());
}

}  // namespace
}  // namespace nm::install_journal
