// portable: builds without Win32
#pragma once
// The layout of an offline update package: a copy of the updater with a zip
// archive appended and a 20-byte trailer after it (little-endian package
// offset, package size, then the magic as 12 single-byte characters).
#include <cstdint>
#include <string>
#include <string_view>

namespace nm::offline_package {

constexpr std::uint64_t kTrailerBytes = 20;
// Both are accepted alike; the tool writes the first for a package that holds
// every file of the release and the second for one that holds the difference.
constexpr std::string_view kMagicAllFiles = "NovamendZip0";
constexpr std::string_view kMagicDifference = "NovamendZip1";
// What the archive holds besides the release's files at their list paths.
constexpr std::wstring_view kPendingListMember = L"__list4novamend.tmp";
constexpr std::wstring_view kUpdateListMember = L"__update4novamend.xml";
// Signed releases: the list exactly as the vendor signed it, and its
// signature (what the server holds at the list address and that plus ".sig").
constexpr std::wstring_view kSignedListMember = L"__signed4novamend.xml";
constexpr std::wstring_view kSignatureMember = L"__signed4novamend.xml.sig";

enum class TrailerKind { None, Damaged, Package };
struct Trailer {
    TrailerKind kind = TrailerKind::None;
    std::uint64_t offset = 0, size = 0;
};
// Reads the last kTrailerBytes of a file of file_size bytes. Without a magic
// there is no package; with one, the package must fill exactly the bytes
// between the updater and the trailer, or the package is damaged.
Trailer ReadTrailer(std::string_view last_bytes, std::uint64_t file_size);
std::string MakeTrailer(std::uint32_t offset, std::uint32_t size, bool difference);

// The archive name of a list path: "/" between the folders.
std::wstring MemberName(std::wstring_view list_path);
// Whether a name stays inside the folder it is unpacked into: not empty,
// relative, no drive, no part made of dots and spaces only ("..").
bool MemberNameStaysInside(std::wstring_view name);
// Whether a list path would clash with what the package keeps for itself.
bool IsReservedMember(std::wstring_view name);

}  // namespace nm::offline_package
