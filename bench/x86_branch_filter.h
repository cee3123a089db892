// portable: builds without Win32
#pragma once
// A candidate that bench/deltas.py measures against the chosen patch format:
// the x86 branch filter over both versions before they are compared. The
// 32-bit relative targets of near calls and jumps (E8/E9) become absolute
// positions in the file, the idea being that a call into code that moved
// then changes less. Only the making side is needed to measure the size.
#include <cstddef>
#include <cstdint>

namespace bench {

// After an E8/E9 its four operand bytes are skipped whether they are
// rewritten or not, so a reverse pass would look at the same places. An
// operand is rewritten when its top byte is 00 or FF (a target within 16 MiB),
// modulo 2^25, so that its top byte is 00 or FF again.
inline void EncodeX86Branches(std::uint8_t* data, size_t size) {
    for (size_t i = 0; i + 5 <= size;) {
        if (data[i] != 0xE8 && data[i] != 0xE9) {
            ++i;
            continue;
        }
        const std::uint8_t top = data[i + 4];
        if (top == 0x00 || top == 0xFF) {
            std::uint32_t value = static_cast<std::uint32_t>(data[i + 1]) |
                                  static_cast<std::uint32_t>(data[i + 2]) << 8 |
                                  static_cast<std::uint32_t>(data[i + 3]) << 16 | static_cast<std::uint32_t>(top) << 24;
            value = (value + static_cast<std::uint32_t>(i + 5)) & 0x01FFFFFFu;
            if (value & 0x01000000u) value |= 0xFE000000u;
            for (int b = 0; b < 4; ++b) data[i + 1 + b] = static_cast<std::uint8_t>(value >> (8 * b));
        }
        i += 5;
    }
}

}  // namespace bench
