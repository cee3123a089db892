// portable: builds without Win32
#pragma once
// Raw LZMA2 streams (liblzma, no container): the one place that talks to the
// library. A patch names each stream's dictionary size itself, so a reader
// can refuse one that would need more memory than it allows before anything
// is allocated.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace nm::lzma {

// The smallest dictionary LZMA2 takes; a dictionary larger than its input
// buys nothing, so writers size it to the input within these bounds.
constexpr std::uint32_t kMinimumDictionary = 4096;

// The dictionary a stream of `input_size` bytes is packed with, at most `cap`.
std::uint32_t DictionaryFor(std::uint64_t input_size, std::uint32_t cap);

// `input` packed at the strongest setting with a dictionary of
// `dictionary_size` bytes, appended to `packed`. False only when the library
// fails (out of memory).
bool Pack(std::string_view input, std::uint32_t dictionary_size, std::string& packed);

// The CRC-64 (ECMA-182, as in .xz files) of `data`; given the CRC of the
// bytes before it as `before`, that of them all.
std::uint64_t Crc64(std::string_view data, std::uint64_t before = 0);

// Reads one packed stream in pieces, into the caller's memory.
class StreamReader {
public:
    StreamReader();
    ~StreamReader();
    StreamReader(const StreamReader&) = delete;
    StreamReader& operator=(const StreamReader&) = delete;

    // False when the library refuses the dictionary or has no memory.
    bool Open(std::string_view packed, std::uint32_t dictionary_size);
    // Exactly `size` bytes into `out`; false when the stream is damaged or
    // ends first.
    bool Read(std::uint8_t* out, size_t size);
    // True when every byte has been read: the stream's end marker comes next
    // and nothing follows it.
    bool AtEnd();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace nm::lzma
