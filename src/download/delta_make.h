// portable: builds without Win32
#pragma once
// Making a patch (delta_format.h) from two versions of a file: bsdiff's
// method, matches found through a suffix array of the old version and
// extended while most bytes agree, so that code that moved and changed a
// little becomes a run of small differences, which pack well.
//
// Memory: both versions, four bytes per old byte for the suffix array, one
// byte per new byte for the streams, and the packer's tables (about 400 MiB
// at the largest dictionary): a 1 GiB file takes about 7 GiB.
#include <cstdint>
#include <string>
#include <string_view>

#include "download/delta_format.h"

namespace nm::delta {

// The old version must be smaller than this (the suffix array's indices are
// 32-bit); a larger file is published whole.
constexpr std::uint64_t kMaximumOldSize = 0x7fffffffu;

struct Streams {
    std::string control, diff, extra;
};

// The three unpacked streams that turn `old_file` into `new_file`; false
// when the old version is too large or the suffix sort fails.
bool DiffStreams(std::string_view old_file, std::string_view new_file, Streams& streams);

// The patch from `old_file` to `new_file`, both taken over so that their
// memory is free again before the streams are packed. It predicts references
// (delta_format.h) where that makes it smaller, unless `plain_only` asks for
// the first format alone (for comparisons). False with `error` set when the
// old version is too large or memory runs out.
bool MakePatch(std::string old_file, std::string new_file, std::string& patch, std::string& error,
               bool plain_only = false);

}  // namespace nm::delta
