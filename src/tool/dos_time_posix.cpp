// posix: zip entry times from the local time of the C library (Windows
// converts with the offset in force now, the C library with the one of that
// day: they agree where the zone keeps no summer time, as build machines in
// UTC do).
#include <sys/stat.h>

#include <ctime>

#include "base/posix_path.h"
#include "tool/dos_time.h"

namespace nm::tool {

namespace {
std::uint32_t DosTimeOf(std::time_t when) {
    std::tm local{};
    if (!::localtime_r(&when, &local) || local.tm_year < 80 || local.tm_year > 207) return 0;
    const std::uint32_t date = ((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday;
    const std::uint32_t time = (local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2);
    return (date << 16) | time;
}
}  // namespace

std::uint32_t DosTimeOfFile(const std::wstring& path) {
    struct stat status;
    if (::stat(PosixPath(path).c_str(), &status) != 0) return 0;
    return DosTimeOf(status.st_mtime);
}

}  // namespace nm::tool
