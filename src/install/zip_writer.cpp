// portable: builds without Win32
// The archives the vendor tool writes, through the zip layer; where the
// archive's file is opened is the platform's (ZipWriter's constructor, in
// zip_package.cpp and its POSIX stand-in).
#include <string>

#include "base/text.h"
#include "install/zip_package.h"

extern "C" {
#include "zip.h"
}

namespace nm {

namespace {
// General-purpose flag bit 11: the entry's name is UTF-8.
constexpr uLong kUtf8NameFlag = 0x800;
}  // namespace

ZipWriter::~ZipWriter() {
    if (zip_) zipClose(static_cast<zipFile>(zip_), nullptr);
}

bool ZipWriter::Add(const std::wstring& name, const std::function<bool(const AppendBytes&)>& produce,
                    std::uint32_t dos_time) {
    if (!zip_) return false;
    zipFile zip = static_cast<zipFile>(zip_);
    zip_fileinfo info{};
    info.dosDate = dos_time;
    const std::string stored_name = text::ToUtf8(name);
    // Made by DOS (0): the external attributes are Windows attributes.
    if (zipOpenNewFileInZip4_64(zip, stored_name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, 0,
                                kUtf8NameFlag, 0) != ZIP_OK)
        return false;
    const bool produced = produce([zip](std::string_view bytes) {
        return zipWriteInFileInZip(zip, bytes.data(), static_cast<unsigned>(bytes.size())) == ZIP_OK;
    });
    return zipCloseFileInZip(zip) == ZIP_OK && produced;
}

bool ZipWriter::Close() {
    if (!zip_) return false;
    const bool closed = zipClose(static_cast<zipFile>(zip_), nullptr) == ZIP_OK;
    zip_ = nullptr;
    return closed;
}

}  // namespace nm
