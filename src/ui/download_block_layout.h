// portable: builds without Win32
#pragma once
// The arithmetic of the segment view: how many cells a download gets, how
// they are laid out, and which of them show as filled.
#include <cstdint>
#include <map>

namespace nm::download_blocks {

// One cell stands for this many 218-byte units; cells are this many pixels apart.
constexpr std::int64_t kUnitBytes = 218;
constexpr int kCellPixels = 10;
// Room left for the vertical scroll bar when the cells do not fit the height.
constexpr int kScrollBarPixels = 18;

struct Layout {
    std::int64_t multiplier = 1;  // 218-byte units per cell
    std::int64_t cells_per_segment = 10;
    std::int64_t columns = 1;
    std::int64_t total_cells = 0;  // 0: nothing laid out yet
};

// The grid for a file of file_size bytes cut into segments of segment_size
// bytes, in a view of width x height pixels. A multiplier or a column count
// that the arithmetic would make 0 is kept at 1, so no later division fails;
// a segment size of 0 lays out nothing.
Layout LayOut(std::int64_t file_size, std::int64_t segment_size, int width, int height);

// Rows the cells take (a part row counts as one).
std::int64_t Rows(const Layout& layout);
// The scroll height: the rows' height and one and a half cells more.
std::int64_t ScrollHeight(const Layout& layout);

// The cells a segment shows as filled for the bytes it has received.
std::int64_t FilledCount(const Layout& layout, std::int64_t segment_bytes);

// Whether cell n shows filled, given the filled count of every segment that
// has reported (a segment that has not reported shows empty).
bool CellIsFilled(const Layout& layout, std::int64_t cell, const std::map<std::int64_t, std::int64_t>& drawn);

}  // namespace nm::download_blocks
