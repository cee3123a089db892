// portable: builds without Win32
#pragma once
// Splits an animated GIF into one small complete GIF per image, so that the
// system's picture loader, which shows only the first image of a file, can
// load every frame. The input is untrusted (a vendor may replace the
// pictures): nothing is read past its end, and absurd sizes are refused.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace nm {

// Sides above this are refused: the window would need an image that large.
constexpr int kLargestGifSide = 4096;
// Frames stop being taken once their pixels add up to this much.
constexpr std::int64_t kLargestGifFramePixels = 32 * 1024 * 1024;

struct GifFrame {
    std::vector<std::uint8_t> file;  // header, colour table, the image alone, trailer
    int left = 0, top = 0;           // on the logical screen
    int width = 0, height = 0;       // cut to the logical screen
    int delay = -1;                  // hundredths of a second; -1 without a control extension
    int disposal = 0;                // 2 restores the background, 3 the previous image
};

struct GifAnimation {
    bool is_gif = false;                     // the data starts with GIF87a or GIF89a
    int width = 0, height = 0;               // logical screen; 0 when refused
    bool has_background = false;             // the background index names a colour of the global table
    std::uint8_t background[3] = {0, 0, 0};  // red, green, blue
    std::vector<GifFrame> frames;            // complete images in file order; empty when unusable
};

bool HasGifSignature(const std::uint8_t* data, std::size_t size);
// Complete images are kept up to the first damaged block; a damaged header
// or global colour table, or a refused size, gives no frames at all.
GifAnimation SplitGif(const std::uint8_t* data, std::size_t size);

}  // namespace nm
