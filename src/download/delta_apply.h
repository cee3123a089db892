// portable: builds without Win32
#pragma once
// Applying a patch (delta_format.h). The patch comes from outside and is
// treated as hostile: every length is checked against the header and the
// header against the patch's size, the result's size must be the one the
// caller expects, and the old and new versions must have the header's
// CRC-64. Memory beyond the old version and the patch: a window as large as
// the longest run of added bytes (at least 1 MiB, at most the new version),
// the streams' dictionaries (at most 32 MiB each, used only as far as each
// stream's bytes go), the control stream unpacked (when at most 16 MiB) and,
// for a patch that predicts references, the map of its steps (at most 12 MiB
// and 4 bytes per 4 KiB of the old version).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace nm::delta {

// Takes the next piece of the new version; false when it cannot be kept.
using PieceWriter = std::function<bool(std::string_view piece)>;

// The new version made from `old_file` by `patch`, handed to `write` in
// order. It must come out `expected_size` bytes long. False with `error`
// saying why for a patch that is damaged, cut short or not for this old
// version, when memory runs out and when `write` fails; the pieces written
// are then of no use, and only true says that they make the new version.
bool ApplyPatch(std::string_view old_file, std::string_view patch, std::uint64_t expected_size,
                const PieceWriter& write, std::string& error);
// The same, collected into `new_file`.
bool ApplyPatch(std::string_view old_file, std::string_view patch, std::uint64_t expected_size, std::string& new_file,
                std::string& error);

}  // namespace nm::delta
