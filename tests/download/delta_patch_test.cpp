// portable: builds without Win32
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "download/delta_apply.h"
#include "download/delta_format.h"
#include "download/delta_make.h"
#include "download/lzma_stream.h"

namespace nm::delta {
namespace {

// Something shaped like a program's file: runs of repeated records with
// numbers in them, and stretches of noise.
std::string Program(std::mt19937& random, size_t size) {
    std::string data;
    while (data.size() < size) {
        if (random() % 4 == 0) {
            for (int i = 0; i < 300; ++i) data.push_back(static_cast<char>(random()));
        } else {
            const std::uint32_t base = random();
            for (std::uint32_t i = 0; i < 200; ++i) data += "\x48\x8b\x05" + std::to_string(base + 8 * i) + "\xe8";
        }
    }
    data.resize(size);
    return data;
}

// The next release: code inserted and removed, numbers shifted, a new tail.
std::string NextRelease(std::mt19937& random, std::string data) {
    data.insert(data.size() / 3, Program(random, 5000));
    data.erase(data.size() / 2, 3000);
    for (size_t at = 100; at < data.size(); at += 997) data[at] = static_cast<char>(data[at] + 1);
    return data + Program(random, 2000);
}

std::string Patch(const std::string& old_file, const std::string& new_file) {
    std::string patch, error;
    EXPECT_TRUE(MakePatch(old_file, new_file, patch, error)) << error;
    return patch;
}

bool Applies(const std::string& old_file, const std::string& patch, const std::string& new_file) {
    std::string made, error;
    return ApplyPatch(old_file, patch, new_file.size(), made, error) && made == new_file;
}

TEST(DeltaPatch, MakesEachReleaseFromTheOneBefore) {
    std::mt19937 random(7);
    const std::string first = Program(random, 300000);
    const std::string second = NextRelease(random, first);
    const std::string patch = Patch(first, second);
    EXPECT_TRUE(Applies(first, patch, second));
    EXPECT_LT(patch.size(), second.size() / 10);
    // Nothing from something, nothing into something, and no change at all.
    EXPECT_TRUE(Applies("", Patch("", second), second));
    EXPECT_TRUE(Applies(first, Patch(first, ""), ""));
    EXPECT_TRUE(Applies(second, Patch(second, second), second));
    // Runs longer than the applier's first window, handed on in order; a
    // writer that gives up stops it.
    const std::string large = Program(random, 3u << 20), larger = NextRelease(random, large);
    const std::string large_patch = Patch(large, larger);
    EXPECT_TRUE(Applies(large, large_patch, larger));
    int pieces = 0;
    std::string error;
    EXPECT_FALSE(ApplyPatch(
        large, large_patch, larger.size(), [&](std::string_view) { return ++pieces < 3; }, error));
    EXPECT_EQ(pieces, 3);
    EXPECT_EQ(error, "the patched file cannot be written");
}

TEST(DeltaPatch, RefusesAPatchThatIsDamagedCutOrForAnotherFile) {
    std::mt19937 random(11);
    const std::string old_file = Program(random, 20000);
    const std::string new_file = NextRelease(random, old_file);
    const std::string patch = Patch(old_file, new_file);
    std::string made, error;
    for (size_t cut = 0; cut < patch.size(); cut += 1 + cut / 8)
        EXPECT_FALSE(ApplyPatch(old_file, patch.substr(0, cut), new_file.size(), made, error)) << cut;
    EXPECT_FALSE(ApplyPatch(old_file, patch + "x", new_file.size(), made, error));
    EXPECT_FALSE(ApplyPatch(old_file, patch, new_file.size() + 1, made, error));
    EXPECT_EQ(error, "patch makes a file of another size");
    std::string changed_old = old_file;
    changed_old[5000] ^= 1;
    EXPECT_FALSE(ApplyPatch(changed_old, patch, new_file.size(), made, error));
    EXPECT_EQ(error, "patch is for another version of the file");
    // A changed byte anywhere is refused, unless it changed nothing that
    // matters (a larger dictionary than needed) and the result is right.
    for (size_t at = 0; at < patch.size(); ++at) {
        std::string damaged = patch;
        damaged[at] = static_cast<char>(damaged[at] ^ (1 << (at % 8)));
        if (ApplyPatch(old_file, damaged, new_file.size(), made, error)) {
            EXPECT_EQ(made, new_file) << at;
        } else {
            EXPECT_NE(error.find("patch"), std::string::npos) << at;
        }
    }
}

void Put(std::string& data, size_t at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) data[at + i] = static_cast<char>(value >> 8 * i);
}

// A 64-bit DLL as a linker lays it out: code in a section at memory 0x1000,
// data in the next section aligned to 0x1000 in memory but only to 0x200 in
// the file. The code calls functions and loads data RIP-relative; the data
// holds pointers to functions. `grown` bytes of new code go before the
// function at `grown_at`, so everything after it moves, by another distance
// in memory than in the file once the data section starts a page later.
std::string Dll(std::mt19937& random, int functions, int grown_at, size_t grown) {
    constexpr size_t kFunction = 512, kCodeAt = 0x400;
    std::vector<size_t> starts;
    size_t code_size = 0;
    for (int f = 0; f < functions; ++f) {
        if (f == grown_at) code_size += grown;
        starts.push_back(code_size);
        code_size += kFunction;
    }
    const size_t file_code = (code_size + 0x1ff) & ~size_t{0x1ff}, data_size = 8 * functions + 0x1000;
    const size_t data_address = 0x1000 + ((code_size + 0xfff) & ~size_t{0xfff});
    std::string file(kCodeAt + file_code + data_size, '\0');
    file.replace(0, 2, "MZ");
    Put(file, 0x3c, 0x40, 4);
    file.replace(0x40, 4, std::string("PE\0\0", 4));
    Put(file, 0x46, 2, 2);     // sections
    Put(file, 0x54, 0xf0, 2);  // optional header size
    Put(file, 0x58, 0x20b, 2);
    Put(file, 0x58 + 24, 0x180000000, 8);
    Put(file, 0x58 + 56, data_address + data_size, 4);
    const size_t table = 0x58 + 0xf0;
    for (int s = 0; s < 2; ++s) {
        const size_t entry = table + 40 * s;
        Put(file, entry + 8, s ? data_size : code_size, 4);
        Put(file, entry + 12, s ? data_address : 0x1000, 4);
        Put(file, entry + 16, s ? data_size : file_code, 4);
        Put(file, entry + 20, s ? kCodeAt + file_code : kCodeAt, 4);
        Put(file, entry + 36, s ? 0x40000040 : 0x60000020, 4);
    }
    std::mt19937 body(99);  // the same bodies in every release
    for (int f = 0; f < functions; ++f) {
        size_t at = kCodeAt + starts[f];
        for (size_t end = at + kFunction - 16; at < end;) {
            const std::uint32_t pick = body() % 3, address = 0x1000 + static_cast<std::uint32_t>(at - kCodeAt);
            if (pick == 0) {  // call another function
                file[at] = '\xe8';
                Put(file, at + 1, 0x1000 + starts[body() % functions] - (address + 5), 4);
                at += 5;
            } else if (pick == 1) {  // lea rcx, [rip + a pointer in the data]
                file.replace(at, 3, "\x48\x8d\x0d");
                Put(file, at + 3, data_address + 8 * (body() % functions) - (address + 7), 4);
                at += 7;
            } else {
                for (int i = 0; i < 6; ++i) file[at++] = static_cast<char>(0x40 + body() % 16);
            }
        }
        Put(file, kCodeAt + file_code + 8 * f, 0x180000000 + 0x1000 + starts[f], 8);
    }
    for (size_t i = 0; i < grown; ++i) file[kCodeAt + starts[grown_at] - grown + i] = static_cast<char>(random());
    return file;
}

TEST(DeltaPatch, PredictsReferencesThatMovedWithTheCode) {
    std::mt19937 random(5);
    const std::string old_file = Dll(random, 600, 0, 0);
    const std::string new_file = Dll(random, 600, 300, 3000);
    const std::string patch = Patch(old_file, new_file);
    Header header;
    std::string error;
    ASSERT_TRUE(ParseHeader(patch, header, error)) << error;
    EXPECT_TRUE(header.predicts_references);
    EXPECT_TRUE(Applies(old_file, patch, new_file));
    // Every call, load and pointer past the new code changed, and the patch
    // carries about the new code alone.
    EXPECT_LT(patch.size(), 3600u);
    // Files that are no machine code keep the plain format, as before.
    const std::string text(20000, 'a');
    ASSERT_TRUE(ParseHeader(Patch(text, text + "b"), header, error));
    EXPECT_FALSE(header.predicts_references);
}

// A patch may map any old bytes to any new place: runs that overlap, seek
// back, cover the same old bytes several times and end in the middle of a
// reference, over an old file full of references pointing anywhere, with
// section tables that make no sense. It must come out as a clear refusal.
TEST(DeltaPatch, RefusesAHostilePredictingPatchSafely) {
    std::mt19937 random(3);
    std::string old_file = Dll(random, 40, 0, 0);
    for (size_t at = 0x200; at + 5 < old_file.size(); at += 5) {
        old_file[at] = static_cast<char>(at % 2 ? 0xe8 : 0x0f);
        Put(old_file, at + 1, random(), 4);
    }
    Put(old_file, 0x58 + 0xf0 + 40 + 12, 0xfffff000, 4);  // data at the top of memory
    Put(old_file, 0x58 + 0xf0 + 40 + 16, 0xffffffff, 4);  // holding more than the file
    // Steps to random old places (some cut a reference in two, many cover
    // the same old bytes), every one of them inside the old file.
    const std::uint64_t new_size = 3 * old_file.size();
    std::string control;
    std::uint64_t made = 0, old_position = 0;
    while (made < new_size) {
        const std::uint64_t at = random() % (old_file.size() - 1);
        const std::uint64_t added =
            std::min<std::uint64_t>({new_size - made, old_file.size() - at, 1 + random() % 300});
        AppendVarint(Zigzag(static_cast<std::int64_t>(at) - static_cast<std::int64_t>(old_position)), control);
        AppendVarint(added, control);
        AppendVarint(0, control);
        made += added;
        old_position = at + added;
    }
    Header header;
    header.predicts_references = true;
    header.old_size = old_file.size();
    header.old_crc = lzma::Crc64(old_file);
    header.new_size = new_size;
    header.new_crc = 1;
    const std::string diff(static_cast<size_t>(new_size), '\x11');
    std::string packed;
    const std::pair<StreamSize*, const std::string*> streams[] = {{&header.control, &control}, {&header.diff, &diff}};
    for (const auto& [size, stream] : streams) {
        size->unpacked = stream->size();
        size->dictionary = lzma::DictionaryFor(stream->size(), kMaximumDictionary);
        const size_t before = packed.size();
        ASSERT_TRUE(lzma::Pack(*stream, size->dictionary, packed));
        size->packed = packed.size() - before;
    }
    header.extra.dictionary = lzma::kMinimumDictionary;
    ASSERT_TRUE(lzma::Pack("", header.extra.dictionary, packed));
    header.extra.packed = packed.size() - header.control.packed - header.diff.packed;
    std::string made_file, error;
    EXPECT_FALSE(ApplyPatch(old_file, HeaderBytes(header) + packed, new_size, made_file, error));
    EXPECT_EQ(error, "patch is damaged (the result does not match)");
}

}  // namespace
}  // namespace nm::delta
