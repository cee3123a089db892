// portable: builds without Win32
#include "download/offline_package_rules.h"

#include <gtest/gtest.h>

namespace nm::offline_package {
namespace {

TEST(OfflinePackageRules, TrailerFindsAPackageOnlyWhereItFillsTheGap) {
    const std::string trailer = MakeTrailer(1000, 500, true);
    ASSERT_EQ(trailer.size(), kTrailerBytes);
    const Trailer found = ReadTrailer(trailer, 1520);
    EXPECT_EQ(found.kind, TrailerKind::Package);
    EXPECT_EQ(found.offset, 1000u);
    EXPECT_EQ(found.size, 500u);
    EXPECT_EQ(ReadTrailer(MakeTrailer(1000, 500, false), 1520).kind, TrailerKind::Package);
    EXPECT_EQ(ReadTrailer(trailer, 1521).kind, TrailerKind::Damaged);  // bytes lost or added
    EXPECT_EQ(ReadTrailer(MakeTrailer(0, 1500, true), 1520).kind, TrailerKind::Damaged);
    std::string other = trailer;
    other[19] = '2';
    EXPECT_EQ(ReadTrailer(other, 1520).kind, TrailerKind::None);
}

TEST(OfflinePackageRules, NamesThatLeaveTheirFolderAreRefused) {
    EXPECT_TRUE(MemberNameStaysInside(L"bin/tool..exe"));
    EXPECT_TRUE(MemberNameStaysInside(MemberName(L"bin\\sub\\a.dll")));
    for (const wchar_t* name :
         {L"", L"../a", L"bin\\..\\..\\a", L"bin/. ./a", L"/etc/a", L"\\a", L"C:/a", L"c:a", L"bin/..."})
        EXPECT_FALSE(MemberNameStaysInside(name)) << name;
    EXPECT_TRUE(IsReservedMember(L"__LIST4novamend.tmp"));
}

}  // namespace
}  // namespace nm::offline_package
