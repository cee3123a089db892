// portable: builds without Win32
#include "download/version_journal.h"

#include <gtest/gtest.h>

namespace nm::version_journal {
namespace {

// Any text before a record, a cut-short one included, is covered by the fuzz target.
TEST(VersionJournal, LastRecordOfANameHoldsWhateverItsCaseAndNoVersionPassesForAnother) {
    std::string journal = Record(L"a.dll", L"1") + Record(L"B.dll", L"") + Record(L"A.DLL", L"2");
    EXPECT_EQ(Find(journal, L"a.dll").encoded_version, "2");
    EXPECT_EQ(Find(journal, L"b.DLL").noted, Noted::Version);  // an empty version is a version
    EXPECT_EQ(Find(journal, L"c.dll").noted, Noted::Nothing);
    EXPECT_EQ(Find(journal + Record(L"a.dll", std::nullopt), L"a.dll").noted, Noted::Forgotten);
    EXPECT_EQ(Find(journal + Record(L"a.dll", L"%"), L"a.dll").noted, Noted::Version);
    EXPECT_NE(EncodeVersion(L"%41"), EncodeVersion(L"A"));
    EXPECT_EQ(EncodeVersion(L"1\t2\n").find_first_of("\t\n"), std::string::npos);
}

}  // namespace
}  // namespace nm::version_journal
