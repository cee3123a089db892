// portable: builds without Win32
#include "download/lzma_stream.h"

#include <lzma.h>

#include <algorithm>

namespace nm::lzma {

namespace {

bool Options(std::uint32_t dictionary_size, lzma_options_lzma& options) {
    if (lzma_lzma_preset(&options, 9 | LZMA_PRESET_EXTREME)) return false;
    options.dict_size = dictionary_size;
    // No position bits: the streams of a patch have no alignment that pays
    // (measured smaller on every stream). Readers take these from the stream.
    options.pb = 0;
    return true;
}

}  // namespace

std::uint32_t DictionaryFor(std::uint64_t input_size, std::uint32_t cap) {
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(input_size, kMinimumDictionary, cap));
}

bool Pack(std::string_view input, std::uint32_t dictionary_size, std::string& packed) {
    lzma_options_lzma options;
    if (!Options(dictionary_size, options)) return false;
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_raw_encoder(&stream, filters) != LZMA_OK) return false;
    stream.next_in = reinterpret_cast<const std::uint8_t*>(input.data());
    stream.avail_in = input.size();
    // The output grows as it comes: a patch is mostly far smaller than its streams.
    const size_t start = packed.size();
    size_t written = start;
    lzma_ret result = LZMA_OK;
    while (result == LZMA_OK) {
        if (written == packed.size()) packed.resize(std::max<size_t>(2 * packed.size(), 65536));
        stream.next_out = reinterpret_cast<std::uint8_t*>(packed.data()) + written;
        stream.avail_out = packed.size() - written;
        result = lzma_code(&stream, LZMA_FINISH);
        written = packed.size() - stream.avail_out;
    }
    lzma_end(&stream);
    packed.resize(result == LZMA_STREAM_END ? written : start);
    return result == LZMA_STREAM_END;
}

std::uint64_t Crc64(std::string_view data, std::uint64_t before) {
    return lzma_crc64(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), before);
}

struct StreamReader::State {
    lzma_stream stream = LZMA_STREAM_INIT;
    bool open = false;
    bool ended = false;
    ~State() {
        if (open) lzma_end(&stream);
    }
};

StreamReader::StreamReader() : state_(std::make_unique<State>()) {}
StreamReader::~StreamReader() = default;

bool StreamReader::Open(std::string_view packed, std::uint32_t dictionary_size) {
    lzma_options_lzma options;
    if (!Options(dictionary_size, options)) return false;
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_raw_decoder(&state_->stream, filters) != LZMA_OK) return false;
    state_->open = true;
    state_->stream.next_in = reinterpret_cast<const std::uint8_t*>(packed.data());
    state_->stream.avail_in = packed.size();
    return true;
}

bool StreamReader::Read(std::uint8_t* out, size_t size) {
    if (!state_->open) return false;
    lzma_stream& stream = state_->stream;
    stream.next_out = out;
    stream.avail_out = size;
    while (stream.avail_out > 0) {
        if (state_->ended) return false;
        const lzma_ret result = lzma_code(&stream, LZMA_FINISH);
        if (result == LZMA_STREAM_END) {
            state_->ended = true;
        } else if (result != LZMA_OK) {
            return false;
        }
    }
    return true;
}

bool StreamReader::AtEnd() {
    if (!state_->open) return false;
    lzma_stream& stream = state_->stream;
    if (!state_->ended) {
        // One more byte of room: a stream that still has data fills it.
        std::uint8_t spare;
        stream.next_out = &spare;
        stream.avail_out = 1;
        const lzma_ret result = lzma_code(&stream, LZMA_FINISH);
        if (result != LZMA_STREAM_END || stream.avail_out == 0) return false;
        state_->ended = true;
    }
    return stream.avail_in == 0;
}

}  // namespace nm::lzma
