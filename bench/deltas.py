#!/usr/bin/env python3
"""Patch sizes and costs side by side, on real release pairs of Windows
programs and libraries fetched from the npm registry with `npm pack` into
build/deltas (never committed):

  @esbuild/win32-x64              0.27.4 -> 0.27.5   one 11 MiB program
  @rollup/rollup-win32-x64-msvc   4.69.3 -> 4.70.0   one 2.7 MiB library
  @img/sharp-win32-x64            0.34.4 -> 0.34.5   a release of several files

For each file that changed between the releases (same path, other bytes):
the whole file, gzip -9, `zstd -19 --long --patch-from`, Debian's bsdiff,
our patch (bench/delta_bench, an optimised native build in
build/bench-native) and the same in the first format (no references
predicted), with the packed sizes of each one's streams, and candidates
measured on our own diff streams (those of the first format): packed
with bzip2 -9 and zstd -19 --long instead of LZMA2, and with the x86 branch
filter over both versions first. Then the time and peak memory (largest
resident set) to make our patch and bsdiff's, and to apply ours natively,
checked byte for byte. Files new in a release have no earlier version and
are fetched whole by every method; they are listed apart.

    python3 bench/deltas.py [--large MIB]

--large also makes and applies a patch between two synthetic versions of
MIB MiB (the second with edits every few MiB), to show the memory a large
file takes. The results go to docs/benchmarks.md between the delta markers.
"""
import argparse
import gzip
import os
import re
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

import results_doc

ROOT = Path(__file__).resolve().parents[1]
WORK = ROOT / "build" / "deltas"
NATIVE = ROOT / "build" / "bench-native"
TOOL = NATIVE / "delta_bench"
PAIRS = [
    ("@esbuild/win32-x64", "0.27.4", "0.27.5"),
    ("@rollup/rollup-win32-x64-msvc", "4.69.3", "4.70.0"),
    ("@img/sharp-win32-x64", "0.34.4", "0.34.5"),
]
HEADER = 100  # our patch header, for the candidates packed by other tools
MiB = 1024 * 1024


def run(command, **kwargs):
    return subprocess.run(command, check=True, capture_output=True, **kwargs)


def timed(command):
    """Wall seconds and peak resident MiB of a command, and its output."""
    with tempfile.NamedTemporaryFile("r") as report:
        done = run(["/usr/bin/time", "-f", "%e %M", "-o", report.name] + command, text=True)
        seconds, kib = report.read().split()[-2:]
    return float(seconds), int(kib) / 1024, done.stdout


def build_tool():
    if not (NATIVE / "build.ninja").exists():
        run(["cmake", "-S", str(ROOT), "-B", str(NATIVE), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
             "-DNOVAMEND_SANITIZE=OFF"])
    run(["cmake", "--build", str(NATIVE), "-j2", "--target", "delta_bench"])


def applied(old, patch, size, result, runs=3):
    """Our applier's own time (median of `runs`) and its largest peak (MiB):
    applying takes milliseconds, where one run is at the mercy of the machine."""
    times, peaks = [], []
    for _ in range(runs):
        _, peak, out = timed([str(TOOL), "apply", str(old), str(patch), str(size), str(result)])
        times.append(float(re.search(r"ms ([0-9.]+)", out).group(1)))
        peaks.append(peak)
    return sorted(times)[len(times) // 2], max(peaks)


def release(package, version):
    """The unpacked release, fetched once."""
    name = package.lstrip("@").replace("/", "-") + "-" + version
    folder = WORK / name
    if not folder.exists():
        WORK.mkdir(parents=True, exist_ok=True)
        tarball = run(["npm", "pack", "--silent", f"{package}@{version}"], cwd=WORK, text=True).stdout.split()[-1]
        folder.mkdir()
        run(["tar", "xzf", str(WORK / tarball), "-C", str(folder), "--strip-components=1"])
    return folder


def files_of(folder):
    return {p.relative_to(folder).as_posix(): p for p in sorted(folder.rglob("*")) if p.is_file()}


def packed_size(command, path):
    return len(run(command + [str(path)]).stdout)


def stream_sizes(patch):
    """The packed control, diff and extra sizes from our patch's header."""
    fields = struct.unpack_from("<" + "QQI" * 3, patch.read_bytes(), 40)
    return fields[1], fields[4], fields[7]


def measure_file(old, new, scratch):
    new_bytes = new.read_bytes()
    row = {"whole": len(new_bytes), "gzip": len(gzip.compress(new_bytes, 9))}
    zstd_patch = scratch / "patch.zst"
    run(["zstd", "-q", "-f", "-19", "--long", f"--patch-from={old}", str(new), "-o", str(zstd_patch)])
    row["zstd"] = zstd_patch.stat().st_size
    bsdiff_patch = scratch / "patch.bsdiff"
    row["bsdiff_s"], row["bsdiff_mib"], _ = timed(["bsdiff", str(old), str(new), str(bsdiff_patch)])
    row["bsdiff"] = bsdiff_patch.stat().st_size

    ours = scratch / "patch.nm"
    plain = scratch / "patch.plain"
    streams = scratch / "streams"
    _, _, _ = timed([str(TOOL), "make", str(old), str(new), str(plain), "plain", str(streams)])
    row["plain"] = plain.stat().st_size
    row["plain_streams"] = stream_sizes(plain)
    # Timed again without writing the streams, which the real maker does not.
    row["make_s"], row["make_mib"], _ = timed([str(TOOL), "make", str(old), str(new), str(ours), "none"])
    row["ours"] = ours.stat().st_size
    row["ours_streams"] = stream_sizes(ours)
    row["predicts"] = ours.read_bytes()[:8] == b"NMDELTA2"
    result = scratch / "result"
    row["apply_ms"], row["apply_mib"] = applied(old, ours, len(new_bytes), result)
    if result.read_bytes() != new_bytes:
        sys.exit(f"deltas: our patch did not make {new}")
    row["budget_mib"] = (old.stat().st_size + len(new_bytes)) / MiB + 64

    parts = [Path(f"{streams}.{part}") for part in ("control", "diff", "extra")]
    row["bzip2"] = HEADER + sum(packed_size(["bzip2", "-9", "-c"], p) for p in parts)
    row["zstd_streams"] = HEADER + sum(packed_size(["zstd", "-q", "-19", "--long", "-c"], p) for p in parts)
    filtered = scratch / "patch.x86"
    run([str(TOOL), "make", str(old), str(new), str(filtered), "x86"])
    row["x86"] = filtered.stat().st_size
    return row


def measure_pair(package, old_version, new_version, scratch):
    old_files = files_of(release(package, old_version))
    new_files = files_of(release(package, new_version))
    changed, added = {}, []
    for path, new in new_files.items():
        old = old_files.get(path)
        if old is None:
            added.append((path, new.stat().st_size, len(gzip.compress(new.read_bytes(), 9))))
        elif old.read_bytes() != new.read_bytes():
            print(f"  {path}", flush=True)
            changed[path] = measure_file(old, new, scratch)
    return changed, added


def synthetic(size_mib, scratch):
    """Two versions of a large file: random bytes (nothing to gain from
    repeats within the file), the second with 4 KB inserted every fifth MiB."""
    old, new = scratch / "large.old", scratch / "large.new"
    with open(old, "wb") as a, open(new, "wb") as b:
        for i in range(size_mib):
            piece = os.urandom(MiB)
            a.write(piece)
            b.write(piece if i % 5 else piece[:1000] + os.urandom(4000) + piece[1000:])
    ours = scratch / "large.nm"
    make_s, make_mib, _ = timed([str(TOOL), "make", str(old), str(new), str(ours), "none"])
    apply_ms, apply_mib = applied(old, ours, new.stat().st_size, scratch / "large.out")
    same = (scratch / "large.out").read_bytes() == new.read_bytes()
    row = {"mib": size_mib, "old_mib": old.stat().st_size / MiB, "new_mib": new.stat().st_size / MiB,
           "patch": ours.stat().st_size, "make_s": make_s, "make_mib": make_mib,
           "apply_mib": apply_mib, "apply_ms": apply_ms, "same": same}
    for path in (old, new, ours, scratch / "large.out"):
        path.unlink()
    return row


def kb(n):
    return f"{n / 1000:,.1f} KB" if n < 10**7 else f"{n / 10**6:,.2f} MB"


def pct(part, whole):
    return f"{100 * part / whole:.1f}%" if whole else "-"


def tables(results, large):
    size_rows = ["| pair | file | whole | gzip -9 | zstd --patch-from | bsdiff | ours | ours / bsdiff | "
                 "ours / zstd | first format | streams + bzip2 | streams + zstd | x86 filter + ours |",
                 "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"]
    stream_rows = ["| pair | file | format | control | diff | extra | first format: control | diff | extra |",
                   "|---|---|---|---:|---:|---:|---:|---:|---:|"]
    cost_rows = ["| pair | file | bsdiff make | ours make | ours apply (native) | apply rate | "
                 "apply peak / budget (old + new + 64 MiB) |", "|---|---|---:|---:|---:|---:|---:|"]
    added_rows = []
    keys = ("whole", "gzip", "zstd", "bsdiff", "ours", "plain", "bzip2", "zstd_streams", "x86")
    for (package, old_version, new_version), (changed, added) in results.items():
        pair = f"{package} {old_version} → {new_version}"
        total = {key: sum(row[key] for row in changed.values()) for key in keys}
        for path, row in list(changed.items()) + ([("all changed files", total)] if len(changed) > 1 else []):
            name = f"**{path}**" if path == "all changed files" else f"`{path}`"
            size_rows.append(
                f"| {pair} | {name} | {kb(row['whole'])} | {kb(row['gzip'])} | {kb(row['zstd'])} | "
                f"{kb(row['bsdiff'])} | **{kb(row['ours'])}** | {pct(row['ours'], row['bsdiff'])} | "
                f"{pct(row['ours'], row['zstd'])} | {kb(row['plain'])} | {kb(row['bzip2'])} | "
                f"{kb(row['zstd_streams'])} | {kb(row['x86'])} |")
        for path, row in changed.items():
            ours, plain = row["ours_streams"], row["plain_streams"]
            stream_rows.append(
                f"| {pair} | `{path}` | {'predicted references' if row['predicts'] else 'first'} | "
                + " | ".join(kb(n) for n in ours + plain) + " |")
        for path, row in changed.items():
            # Below a few milliseconds the clock says nothing about a rate.
            rate = f"{row['whole'] / MiB / (row['apply_ms'] / 1000):,.0f} MiB/s" if row["apply_ms"] >= 2 else "-"
            cost_rows.append(
                f"| {pair} | `{path}` | {row['bsdiff_s']:.2f} s, {row['bsdiff_mib']:.0f} MiB | "
                f"{row['make_s']:.2f} s, {row['make_mib']:.0f} MiB | {row['apply_ms']:.0f} ms | "
                f"{rate} | {row['apply_mib']:.0f} / {row['budget_mib']:.0f} MiB |")
        for path, size, packed in added:
            added_rows.append(f"| {pair} | `{path}` | {kb(size)} | {kb(packed)} |")
    text = "\n".join(size_rows) + "\n\nOur patches' streams, packed (the first format: no references " + \
        "predicted):\n\n" + "\n".join(stream_rows) + \
        "\n\nCosts (wall time and peak resident memory of the process):\n\n" + "\n".join(cost_rows) + "\n"
    if added_rows:
        text += ("\nFiles with no earlier version under the same path (fetched whole by every method; a "
                 "renamed file is one of them):\n\n| pair | file | whole | gzip -9 |\n|---|---|---:|---:|\n" +
                 "\n".join(added_rows) + "\n")
    if large:
        rate = large["new_mib"] / (large["apply_ms"] / 1000)
        text += (f"\nA synthetic pair of {large['mib']} MiB (random bytes, 4 KB inserted in every fifth MiB): patch "
                 f"{kb(large['patch'])}, made in {large['make_s']:.0f} s with a peak of "
                 f"{large['make_mib'] / 1024:.2f} GiB; applied in {large['apply_ms'] / 1000:.1f} s "
                 f"({rate:,.0f} MiB/s) with a peak of {large['apply_mib']:.0f} MiB against a budget of "
                 f"{large['old_mib'] + large['new_mib'] + 64:.0f} MiB; result "
                 f"{'identical' if large['same'] else 'DIFFERENT'}.\n")
    return text


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--large", type=int, default=0, help="also a synthetic pair of this many MiB")
    parser.add_argument("--no-document", action="store_true", help="print the tables only")
    args = parser.parse_args()
    build_tool()
    results = {}
    with tempfile.TemporaryDirectory(dir=WORK.parent if WORK.parent.exists() else None) as scratch_name:
        scratch = Path(scratch_name)
        for pair in PAIRS:
            print(f"{pair[0]} {pair[1]} -> {pair[2]}", flush=True)
            results[pair] = measure_pair(*pair, scratch)
        large = synthetic(args.large, scratch) if args.large else None
    text = tables(results, large)
    print(text)
    if args.no_document:
        return
    results_doc.write_block("deltas", "Measured by `python3 bench/deltas.py"
                            f"{f' --large {args.large}' if args.large else ''}` on this machine (2 shared cores), "
                            "every tool in one run, once each (applying ours: median of 3).\n\n" + text, heading="## Delta format\n\n")


if __name__ == "__main__":
    main()
