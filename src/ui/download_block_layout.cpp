// portable: builds without Win32
#include "ui/download_block_layout.h"

#include <algorithm>

namespace nm::download_blocks {

Layout LayOut(std::int64_t file_size, std::int64_t segment_size, int width, int height) {
    Layout layout;
    if (segment_size <= 0 || file_size < 0) return layout;
    const std::int64_t fitting = std::max<std::int64_t>(1, std::int64_t{width / kCellPixels} * (height / kCellPixels));
    const std::int64_t file_units = file_size / kUnitBytes, segment_units = segment_size / kUnitBytes;
    // The smallest multiplier that brings the file's cells below what fits.
    const std::int64_t first_multiplier = file_units / fitting + 1;
    layout.cells_per_segment = std::max<std::int64_t>(20, segment_units / first_multiplier);
    layout.multiplier = std::max<std::int64_t>(1, segment_units / layout.cells_per_segment);
    layout.columns = std::max(1, width / kCellPixels);
    layout.total_cells = layout.cells_per_segment * (file_size / segment_size) +
                         (file_size % segment_size) / kUnitBytes / layout.multiplier;
    if (height < kCellPixels * Rows(layout)) layout.columns = std::max(1, (width - kScrollBarPixels) / kCellPixels);
    return layout;
}

std::int64_t Rows(const Layout& layout) {
    return layout.total_cells / layout.columns + (layout.total_cells % layout.columns ? 1 : 0);
}

std::int64_t ScrollHeight(const Layout& layout) {
    return layout.total_cells / layout.columns * kCellPixels + kCellPixels * 3 / 2;
}

std::int64_t FilledCount(const Layout& layout, std::int64_t segment_bytes) {
    return segment_bytes / kUnitBytes / layout.multiplier;
}

bool CellIsFilled(const Layout& layout, std::int64_t cell, const std::map<std::int64_t, std::int64_t>& drawn) {
    const auto count = drawn.find(cell / layout.cells_per_segment);
    return count != drawn.end() && cell % layout.cells_per_segment <= count->second;
}

}  // namespace nm::download_blocks
