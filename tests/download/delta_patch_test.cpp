// portable: builds without Win32
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "download/delta_apply.h"
#include "download/delta_make.h"

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

}  // namespace
}  // namespace nm::delta
