#pragma once
// Times as zip entries carry them: local time in DOS form, the date in the
// high word, two-second steps; 0 when a time cannot be had or held.
#include <cstdint>
#include <string>

namespace nm::tool {

// The file's last write time.
std::uint32_t DosTimeOfFile(const std::wstring& path);

}  // namespace nm::tool
