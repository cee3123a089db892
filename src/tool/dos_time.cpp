#include "tool/dos_time.h"

#include <windows.h>

namespace nm::tool {

namespace {
std::uint32_t DosTimeOf(const FILETIME& utc) {
    FILETIME local{};
    WORD date = 0, time = 0;
    if (!::FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToDosDateTime(&local, &date, &time)) return 0;
    return (static_cast<std::uint32_t>(date) << 16) | time;
}
}  // namespace

std::uint32_t DosTimeOfFile(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return DosTimeOf(data.ftLastWriteTime);
}

}  // namespace nm::tool
