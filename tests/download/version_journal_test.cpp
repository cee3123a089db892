// portable: builds without Win32
#include "download/version_journal.h"

#include <gtest/gtest.h>

namespace nm::version_journal {
namespace {

TEST(VersionJournal, LastWholeRecordOfANameHoldsWhateverItsCase) {
    std::string journal = Record(L"a.dll", L"1") + Record(L"B.dll", L"") + Record(L"A.DLL", L"2");
    EXPECT_EQ(Find(journal, L"a.dll").encoded_version, "2");
    EXPECT_EQ(Find(journal, L"b.DLL").noted, Noted::Version);  // an empty version is a version
    EXPECT_EQ(Find(journal, L"c.dll").noted, Noted::Nothing);

    // A record cut short anywhere, then another appended after it.
    for (const std::string& cut : {std::string("\na.dl"), std::string("\na.dll\t3"), std::string("\na.dll\t")}) {
        const Lookup found = Find(journal + cut + Record(L"c.dll", L"9"), L"a.dll");
        EXPECT_EQ(found.encoded_version, "2") << cut;
        EXPECT_EQ(Find(journal + cut + Record(L"c.dll", L"9"), L"c.dll").encoded_version, "9") << cut;
    }
    EXPECT_EQ(Find(journal + "\na.dll\t3", L"a.dll").encoded_version, "2");

    journal += Record(L"a.dll", std::nullopt);
    EXPECT_EQ(Find(journal, L"a.dll").noted, Noted::Forgotten);
    // Versions with the journal's own characters in them, and "%" itself.
    for (const wchar_t* version : {L"%", L"1\t2", L"x\ny", L"%41"}) {
        const Lookup found = Find(journal + Record(L"a.dll", version), L"a.dll");
        EXPECT_EQ(found.noted, Noted::Version) << version;
        EXPECT_EQ(found.encoded_version, EncodeVersion(version));
    }
    EXPECT_NE(EncodeVersion(L"%41"), EncodeVersion(L"A"));
}

}  // namespace
}  // namespace nm::version_journal
