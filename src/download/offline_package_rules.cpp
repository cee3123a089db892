// portable: builds without Win32
#include "download/offline_package_rules.h"

#include "base/text.h"

namespace nm::offline_package {

namespace {
std::uint32_t ReadNumber(std::string_view bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    return value;
}

void WriteNumber(std::string& bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}
}  // namespace

Trailer ReadTrailer(std::string_view last_bytes, std::uint64_t file_size) {
    Trailer trailer;
    if (last_bytes.size() != kTrailerBytes || file_size < kTrailerBytes) return trailer;
    const std::string_view magic = last_bytes.substr(8);
    if (magic != kMagicAllFiles && magic != kMagicDifference) return trailer;
    trailer.offset = ReadNumber(last_bytes.substr(0, 4));
    trailer.size = ReadNumber(last_bytes.substr(4, 4));
    const bool fills_the_gap =
        trailer.offset > 0 && trailer.size > 0 && trailer.offset + trailer.size + kTrailerBytes == file_size;
    trailer.kind = fills_the_gap ? TrailerKind::Package : TrailerKind::Damaged;
    return trailer;
}

std::string MakeTrailer(std::uint32_t offset, std::uint32_t size, bool difference) {
    std::string trailer;
    WriteNumber(trailer, offset);
    WriteNumber(trailer, size);
    trailer += difference ? kMagicDifference : kMagicAllFiles;
    return trailer;
}

std::wstring MemberName(std::wstring_view list_path) { return text::ReplaceAll(list_path, L"\\", L"/"); }

bool MemberNameStaysInside(std::wstring_view name) {
    if (name.empty() || name.front() == L'/' || name.front() == L'\\') return false;
    if (name.find(L':') != std::wstring_view::npos) return false;
    // Windows drops trailing dots and spaces, so ". ." or "..." may mean "..".
    for (const std::wstring& part : text::Split(MemberName(name), L'/'))
        if (!part.empty() && part.find_first_not_of(L". ") == std::wstring::npos) return false;
    return true;
}

bool IsReservedMember(std::wstring_view name) {
    for (std::wstring_view reserved : {kPendingListMember, kUpdateListMember, kSignedListMember, kSignatureMember})
        if (text::EqualsNoCase(name, reserved)) return true;
    return false;
}

}  // namespace nm::offline_package
