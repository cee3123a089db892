// portable: builds without Win32
#pragma once
// Applying a patch (delta_format.h). The patch comes from outside and is
// treated as hostile: every length is checked against the header and the
// header against the patch's size, the result's size must be the one the
// caller expects, the old and new versions must have the header's CRC-64,
// and memory beyond the two versions and the patch stays within the
// dictionaries the header may ask for (at most 2 x 32 MiB at a time) and, for
// a patch that predicts references, the map of its steps (at most 12 MiB and
// 4 bytes per 4 KiB of the old version).
#include <cstdint>
#include <string>
#include <string_view>

namespace nm::delta {

// The new version made from `old_file` by `patch`, into `new_file`. It must
// come out `expected_size` bytes long. False with `error` saying why for a
// patch that is damaged, cut short or not for this old version, and when
// there is no memory for the result; `new_file` then holds nothing of use.
bool ApplyPatch(std::string_view old_file, std::string_view patch, std::uint64_t expected_size, std::string& new_file,
                std::string& error);

}  // namespace nm::delta
