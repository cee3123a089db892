// portable: builds without Win32
#include "ui/gif_frames.h"

#include <cstring>
#include <utility>

namespace nm {

namespace {
constexpr std::size_t kHeaderBytes = 13;  // signature and logical screen descriptor
constexpr std::size_t kDescriptorBytes = 9;
constexpr std::size_t kControlBytes = 8;  // 21 F9 04, packed, delay (2), transparent index, 00
constexpr std::uint8_t kExtensionIntroducer = 0x21, kImageSeparator = 0x2C, kTrailer = 0x3B;
constexpr std::uint8_t kGraphicControlLabel = 0xF9;

int Word(const std::uint8_t* p) { return p[0] | (p[1] << 8); }

void PutWord(std::uint8_t* p, int value) {
    p[0] = static_cast<std::uint8_t>(value & 0xFF);
    p[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

// Bytes of the colour table that a packed field announces.
std::size_t ColourTableBytes(std::uint8_t packed) { return (packed & 0x80) ? std::size_t{3} << ((packed & 7) + 1) : 0; }

// A cursor that never moves past the end of the data.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size, std::size_t position)
        : data_(data), size_(size), position_(position) {}
    bool Has(std::size_t bytes) const { return size_ - position_ >= bytes; }
    std::size_t Position() const { return position_; }
    const std::uint8_t* Here() const { return data_ + position_; }
    std::uint8_t Take() { return data_[position_++]; }
    void Skip(std::size_t bytes) { position_ += bytes; }
    // A chain of data sub-blocks up to its empty block; false when it runs past the end.
    bool SkipSubBlocks() {
        for (;;) {
            if (!Has(1)) return false;
            const std::size_t length = Take();
            if (length == 0) return true;
            if (!Has(length)) return false;
            Skip(length);
        }
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_;
};

// The image alone as a complete GIF: its own size as the logical screen and
// its place at 0, 0, so the loaded picture is exactly the frame.
std::vector<std::uint8_t> FrameFile(const std::uint8_t* data, std::size_t global_table, const std::uint8_t* control,
                                    const std::uint8_t* image, std::size_t image_bytes) {
    std::vector<std::uint8_t> file(data, data + kHeaderBytes + global_table);
    std::memcpy(file.data(), "GIF89a", 6);  // extensions need the later version
    PutWord(&file[6], Word(image + 5));
    PutWord(&file[8], Word(image + 7));
    if (control) file.insert(file.end(), control, control + kControlBytes);
    const std::size_t descriptor_at = file.size();
    file.insert(file.end(), image, image + image_bytes);
    PutWord(&file[descriptor_at + 1], 0);
    PutWord(&file[descriptor_at + 3], 0);
    file.push_back(kTrailer);
    return file;
}
}  // namespace

bool HasGifSignature(const std::uint8_t* data, std::size_t size) {
    return size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0);
}

GifAnimation SplitGif(const std::uint8_t* data, std::size_t size) {
    GifAnimation gif;
    gif.is_gif = HasGifSignature(data, size);
    if (!gif.is_gif || size < kHeaderBytes) return gif;
    const int width = Word(data + 6), height = Word(data + 8);
    const std::size_t global_table = ColourTableBytes(data[10]);
    if (width == 0 || height == 0 || width > kLargestGifSide || height > kLargestGifSide) return gif;
    if (size - kHeaderBytes < global_table) return gif;
    gif.width = width;
    gif.height = height;
    const std::size_t background_at = std::size_t{data[11]} * 3;
    if (background_at + 3 <= global_table) {
        gif.has_background = true;
        std::memcpy(gif.background, data + kHeaderBytes + background_at, 3);
    }

    Reader reader(data, size, kHeaderBytes + global_table);
    const std::uint8_t* control = nullptr;  // applies to the next image only
    std::int64_t pixels = 0;
    while (reader.Has(1)) {
        const std::uint8_t introducer = reader.Take();
        if (introducer == kTrailer) break;
        if (introducer == kExtensionIntroducer) {
            if (!reader.Has(1)) break;
            const std::uint8_t* start = reader.Here() - 1;
            const std::uint8_t label = reader.Take();
            if (label == kGraphicControlLabel && reader.Has(6) && reader.Here()[0] == 4 && reader.Here()[5] == 0) {
                control = start;
                reader.Skip(6);
                continue;
            }
            if (!reader.SkipSubBlocks()) break;  // comments, application extensions
            continue;
        }
        if (introducer != kImageSeparator || !reader.Has(kDescriptorBytes)) break;
        const std::uint8_t* image = reader.Here() - 1;
        const std::uint8_t* descriptor = reader.Here();
        reader.Skip(kDescriptorBytes);
        const std::size_t local_table = ColourTableBytes(descriptor[8]);
        if (!reader.Has(local_table + 1)) break;
        reader.Skip(local_table + 1);  // the table and the code size
        if (!reader.SkipSubBlocks()) break;

        GifFrame frame;
        frame.left = Word(descriptor);
        frame.top = Word(descriptor + 2);
        frame.width = Word(descriptor + 4);
        frame.height = Word(descriptor + 6);
        if (control) {
            frame.disposal = (control[3] >> 2) & 7;
            frame.delay = Word(control + 4);
        }
        const std::uint8_t* frame_control = control;
        control = nullptr;
        if (frame.width == 0 || frame.height == 0 || frame.width > kLargestGifSide || frame.height > kLargestGifSide)
            continue;
        pixels += std::int64_t{frame.width} * frame.height;
        if (pixels > kLargestGifFramePixels) break;
        const std::size_t image_bytes = static_cast<std::size_t>(reader.Here() - image);
        frame.file = FrameFile(data, global_table, frame_control, image, image_bytes);
        gif.frames.push_back(std::move(frame));
    }
    return gif;
}

}  // namespace nm
