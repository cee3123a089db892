// posix: the update list reader of the native vendor tool, over the portable
// XML reader; encodings other than the Unicode ones and ISO-8859-1 through
// iconv.
#include <iconv.h>

#include <cerrno>
#include <cstdio>

#include "base/file_ops.h"
#include "list/portable_list_reader.h"
#include "list/update_list_reader.h"

namespace nm {

namespace {
// Far above any real list; a file past it is not read as one.
constexpr std::int64_t kLargestListFile = 1024LL * 1024 * 1024;

bool ConvertWithIconv(std::string_view encoding, std::string_view bytes, std::string& utf8) {
    const iconv_t converter = ::iconv_open("UTF-8", std::string(encoding).c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    utf8.assign(bytes.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t in_left = bytes.size();
    char* out = utf8.data();
    size_t out_left = utf8.size();
    const size_t converted = ::iconv(converter, &in, &in_left, &out, &out_left);
    ::iconv_close(converter);
    if (converted == static_cast<size_t>(-1) || in_left != 0) return false;
    utf8.resize(utf8.size() - out_left);
    return true;
}

// Reads the file at path with read(bytes); the copy on disk loses its guid.
template <class Read>
bool ReadListFile(const std::wstring& path, Read&& read) {
    std::string bytes;
    // A missing file is an empty list, not a broken one.
    if (!files::Exists(path) || !files::ReadAll(path, bytes, kLargestListFile)) return false;
    const portable_list::DocumentRead result = read(bytes);
    if (result.without_guid) files::WriteAll(path, *result.without_guid);
    return result.read;
}
}  // namespace

void ShowFormatError(const std::wstring& text) { std::fwprintf(stderr, L"%ls\n", text.c_str()); }

// The portable reader has no failing document model, so no read ends with
// a message; a document that is not well-formed is no list, as on Windows.
bool ReadUpdateList(const std::wstring& path, std::vector<updatefileinfo>& entries, bool main_list, DownLoadList& list,
                    const ListErrorReporter&) {
    return ReadListFile(path, [&](const std::string& bytes) {
        return portable_list::ReadUpdateList(bytes, entries, main_list, list, ConvertWithIconv);
    });
}

bool ReadListVersions(const std::wstring& path, ListVersions& versions, const ListErrorReporter&,
                      std::uint64_t* serial) {
    return ReadListFile(path, [&](const std::string& bytes) {
        return portable_list::ReadListVersions(bytes, versions, serial, ConvertWithIconv);
    });
}

bool ReadListVersions(const std::wstring& path, ListVersions& versions, std::uint64_t* serial) {
    return ReadListVersions(path, versions, ShowFormatError, serial);
}

}  // namespace nm
