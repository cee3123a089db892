// portable: builds without Win32
// Makes and applies patches for bench/deltas.py, timing the work alone
// (files are read before the clock runs; a patch made is written after it,
// a file applied while it runs, as the client writes it):
//   delta_bench make OLD NEW PATCH none|plain|x86 [STREAMS_PREFIX]
//   delta_bench apply OLD PATCH NEW_SIZE OUT
// Prints "ms N". "plain" makes the first format only, without predicted
// references; "x86" runs the branch filter over both versions first (a
// candidate: its patch shows the size only, the applier does not undo it).
// STREAMS_PREFIX also writes the unpacked control, diff and extra streams
// (PREFIX.control ...), so other packers can be tried on them.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "download/delta_apply.h"
#include "download/delta_make.h"
#include "x86_branch_filter.h"

namespace {

// Sized first, as the client reads a file: a string grown as it reads would
// hold twice the file at its peak.
bool ReadAll(const char* path, std::string& out) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    out.resize(static_cast<size_t>(in.tellg()));
    in.seekg(0);
    return static_cast<bool>(in.read(out.data(), static_cast<std::streamsize>(out.size())));
}

bool WriteAll(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(out);
}

double Now() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int Make(int argc, char** argv) {
    std::string old_file, new_file, patch, error;
    if (!ReadAll(argv[2], old_file) || !ReadAll(argv[3], new_file)) return 2;
    const std::string mode = argv[5];
    if (mode == "x86") {
        bench::EncodeX86Branches(reinterpret_cast<std::uint8_t*>(old_file.data()), old_file.size());
        bench::EncodeX86Branches(reinterpret_cast<std::uint8_t*>(new_file.data()), new_file.size());
    }
    if (argc > 6) {
        nm::delta::Streams streams;
        if (!nm::delta::DiffStreams(old_file, new_file, streams)) return 2;
        const std::string prefix = argv[6];
        if (!WriteAll(prefix + ".control", streams.control) || !WriteAll(prefix + ".diff", streams.diff) ||
            !WriteAll(prefix + ".extra", streams.extra))
            return 2;
    }
    const double start = Now();
    if (!nm::delta::MakePatch(std::move(old_file), std::move(new_file), patch, error, mode == "plain")) {
        std::fprintf(stderr, "make: %s\n", error.c_str());
        return 1;
    }
    std::printf("ms %.1f\n", Now() - start);
    return WriteAll(argv[4], patch) ? 0 : 2;
}

// As the client applies: the new version written to its file as it is made,
// which the clock includes.
int Apply(char** argv) {
    std::string old_file, patch, error;
    if (!ReadAll(argv[2], old_file) || !ReadAll(argv[3], patch)) return 2;
    const double start = Now();
    std::FILE* out = std::fopen(argv[5], "wb");
    const bool applied = out && nm::delta::ApplyPatch(
                                    old_file, patch, std::strtoull(argv[4], nullptr, 10),
                                    [&](std::string_view piece) {
                                        return std::fwrite(piece.data(), 1, piece.size(), out) == piece.size();
                                    },
                                    error);
    const bool closed = out && std::fclose(out) == 0;
    if (!applied) {
        std::fprintf(stderr, "apply: %s\n", error.c_str());
        return 1;
    }
    std::printf("ms %.1f\n", Now() - start);
    return closed ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "make" && argc >= 6) return Make(argc, argv);
    if (command == "apply" && argc == 6) return Apply(argv);
    std::fprintf(stderr, "usage: delta_bench make OLD NEW PATCH none|plain|x86 [STREAMS] | apply OLD PATCH SIZE OUT\n");
    return 2;
}
