// portable: builds without Win32
#include "ui/gif_frames.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace nm {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Add(Bytes& out, std::initializer_list<int> bytes) {
    for (int b : bytes) out.push_back(static_cast<std::uint8_t>(b));
}

// A 4 x 3 screen with a 2-colour global table (background index 1), then a
// comment, a framed image with a control extension (delay 3, disposal 2), an
// application extension and an image at 1, 1 with a local table and a
// control extension (delay 50, disposal 3), then a third image without one.
Bytes Animation() {
    Bytes gif{'G', 'I', 'F', '8', '9', 'a'};
    Add(gif, {4, 0, 3, 0, 0x80, 1, 0, 10, 20, 30, 40, 50, 60});
    Add(gif, {0x21, 0xFE, 2, 'h', 'i', 0});
    Add(gif, {0x21, 0xF9, 4, 2 << 2, 3, 0, 0, 0});
    Add(gif, {0x2C, 0, 0, 0, 0, 4, 0, 3, 0, 0, 2, 2, 0x4C, 0x01, 0});
    Add(gif, {0x21, 0xFF, 3, 'N', 'E', 'T', 1, 1, 0});
    Add(gif, {0x21, 0xF9, 4, 3 << 2, 50, 0, 0, 0});
    Add(gif, {0x2C, 1, 0, 1, 0, 2, 0, 2, 0, 0x80, 0, 0, 0, 255, 255, 255, 2, 1, 0x44, 0});
    Add(gif, {0x2C, 0, 0, 0, 0, 4, 0, 3, 0, 0, 2, 1, 0x4C, 0});
    gif.push_back(0x3B);
    return gif;
}

GifAnimation Split(const Bytes& bytes) {
    // An exact copy, so that a read past the end is one the sanitizer sees.
    const Bytes exact(bytes);
    return SplitGif(exact.data(), exact.size());
}

TEST(GifFrames, SplitsEachImageIntoAFileOfItsOwn) {
    const GifAnimation gif = Split(Animation());
    ASSERT_TRUE(gif.is_gif);
    EXPECT_EQ(gif.width, 4);
    EXPECT_EQ(gif.height, 3);
    ASSERT_TRUE(gif.has_background);
    EXPECT_EQ(gif.background[0], 40);
    EXPECT_EQ(gif.background[2], 60);
    ASSERT_EQ(gif.frames.size(), 3u);

    const GifFrame& first = gif.frames[0];
    EXPECT_EQ(first.delay, 3);
    EXPECT_EQ(first.disposal, 2);
    const GifFrame& second = gif.frames[1];
    EXPECT_EQ(second.delay, 50);
    EXPECT_EQ(second.disposal, 3);
    EXPECT_EQ(second.left, 1);
    EXPECT_EQ(second.top, 1);
    EXPECT_EQ(second.width, 2);
    EXPECT_EQ(gif.frames[2].delay, -1);  // its own extension, not the one before
    EXPECT_EQ(gif.frames[2].disposal, 0);

    // The second frame alone: header with its own size, the global table, its
    // control extension, its descriptor moved to 0, 0 with its local table and
    // data, the trailer. Comments and application blocks are left out.
    Bytes expected{'G', 'I', 'F', '8', '9', 'a'};
    Add(expected, {2, 0, 2, 0, 0x80, 1, 0, 10, 20, 30, 40, 50, 60});
    Add(expected, {0x21, 0xF9, 4, 3 << 2, 50, 0, 0, 0});
    Add(expected, {0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0x80, 0, 0, 0, 255, 255, 255, 2, 1, 0x44, 0, 0x3B});
    EXPECT_EQ(second.file, expected);
}

TEST(GifFrames, DamagedAndHostileDataIsNeverReadPastItsEnd) {
    const Bytes whole = Animation();
    // Cut anywhere: only the images complete before the cut are kept (they end at 48, 85 and 99).
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        const GifAnimation gif = Split(Bytes(whole.begin(), whole.begin() + cut));
        EXPECT_EQ(gif.is_gif, cut >= 6) << cut;
        EXPECT_EQ(gif.frames.size(), std::size_t{cut >= 48} + (cut >= 85) + (cut >= 99)) << cut;
        for (const GifFrame& frame : gif.frames) EXPECT_EQ(frame.file.back(), 0x3B) << cut;
    }

    Bytes table_past_end = whole;
    table_past_end[10] = 0x87;  // a global table of 256 colours in a file of 100 bytes
    EXPECT_TRUE(Split(table_past_end).frames.empty());

    Bytes huge = whole;
    huge[6] = huge[7] = 0xFF;  // 65535 pixels wide
    EXPECT_EQ(Split(huge).width, 0);
    EXPECT_TRUE(Split(huge).frames.empty());

    Bytes no_images(whole.begin(), whole.begin() + 19);  // header and table
    no_images.push_back(0x3B);
    EXPECT_TRUE(Split(no_images).frames.empty());

    Bytes local_table_past_end = whole;
    local_table_past_end[74] = 0x87;  // the second image's local table
    EXPECT_EQ(Split(local_table_past_end).frames.size(), 1u);

    Bytes oversized_frame = whole;
    oversized_frame[40] = 0xFF;  // the first image 65535 pixels high: left out, the rest kept
    oversized_frame[41] = 0xFF;
    EXPECT_EQ(Split(oversized_frame).frames.size(), 2u);

    const Bytes not_gif{'G', 'I', 'F', '8', '8', 'a', 1, 0, 1, 0, 0, 0, 0};
    EXPECT_FALSE(Split(not_gif).is_gif);
}

}  // namespace
}  // namespace nm
