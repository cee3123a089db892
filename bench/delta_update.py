#!/usr/bin/env python3
"""Patches as the client meets them, on the release pairs of bench/deltas.py
(fetched with `npm pack` into build/deltas, never committed):

1. Applying: every patch `makelist --previous` writes for the pair, applied
   under Wine by the client's own applier (build/win/delta_bench.exe), with
   its time (the applier's own clock), output rate and the peak memory of the
   Wine process against the budget of old file + new file + 64 MiB.
2. The whole update of each pair's release (check, download, install) by the
   updater in `/silence`, from the fault server through one link of 2 MiB/s
   shared by all connections, three ways in one run: with patches, with
   whole files only, and with whole files and their zip variants. Each
   installs the earlier release first with its baseline list, and checks
   every file byte for byte afterwards.

    python3 bench/delta_update.py [--runs N] [--no-document]

The results go to docs/benchmarks.md between the delta-update markers.
"""
import argparse
import re
import shutil
import statistics
import sys
import time
import zipfile
from pathlib import Path

import results_doc

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "bench"))
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
sys.path.insert(0, str(ROOT / "tests" / "tools"))
import deltas  # noqa: E402
import fault_server  # noqa: E402
import harness  # noqa: E402

LINK = 2 * 1024 * 1024  # bytes per second
MiB = 1024 * 1024
WAYS = ("patches", "whole files", "whole files + zip")


def tool(*args):
    harness.wine([harness.BIN / "novamend-tool.exe"] + [harness.windows_path(a) if isinstance(a, Path) else a
                                                         for a in args], timeout=900, check=True)


def copy_release(source, target):
    shutil.rmtree(target, ignore_errors=True)
    shutil.copytree(source, target)


def apply_under_wine(old, patch, new, scratch):
    """Milliseconds, output MiB/s and peak MiB of the Wine process."""
    result = scratch / "applied"
    _, peak_mib, out = deltas.timed(
        [str(harness.WINE_RUN), str(harness.BIN / "delta_bench.exe"), "apply", harness.windows_path(old),
         harness.windows_path(patch), str(new.stat().st_size), harness.windows_path(result)])
    if result.read_bytes() != new.read_bytes():
        sys.exit(f"delta_update: the patch {patch.name} did not make {new.name} under Wine")
    result.unlink()
    ms = float(re.search(r"ms ([0-9.]+)", out).group(1))
    return ms, new.stat().st_size / MiB / (ms / 1000) if ms else None, peak_mib


def zip_variants(site, paths):
    for path in paths:
        target = site / path
        with zipfile.ZipFile(f"{target}._.zip", "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
            archive.write(target, target.name)


def update_once(server, site, old_dir, new_files, baseline):
    """Wall seconds of one update, and the body bytes it was sent."""
    inst = harness.Installation(server.url("novamend.xml"))
    for path, source in deltas.files_of(old_dir).items():
        (inst.app_dir / path).parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(source, inst.app_dir / path)
    inst.install_list(baseline)
    server.reset()
    server.set_faults({"/" + p.relative_to(site).as_posix(): {"link_rate": LINK}
                       for p in site.rglob("*") if p.is_file()})
    start = time.monotonic()
    inst.run("/silence", timeout=600)
    wall = time.monotonic() - start
    for path, source in new_files.items():
        if (inst.app_dir / path).read_bytes() != source.read_bytes():
            sys.exit(f"delta_update: {path} was not updated\n{(inst.app_dir / 'novamend.log').read_text()}")
    sent = server.state.body_bytes
    shutil.rmtree(inst.app_dir, ignore_errors=True)
    shutil.rmtree(inst.exe.parent, ignore_errors=True)
    return wall, sent


def measure_pair(package, old_version, new_version, runs, scratch):
    old_dir = deltas.release(package, old_version)
    new_dir = deltas.release(package, new_version)
    old_files, new_files = deltas.files_of(old_dir), deltas.files_of(new_dir)
    changed = [p for p, f in new_files.items() if p in old_files and f.read_bytes() != old_files[p].read_bytes()]
    earlier = scratch / "earlier"
    copy_release(old_dir, earlier)
    tool("makelist", earlier, scratch / "baseline.xml", "--serial", "1")
    baseline = (scratch / "baseline.xml").read_text(encoding="utf-8")

    site = scratch / "site"
    applied, updates = [], {}
    for way in WAYS:
        copy_release(new_dir, site)
        previous = ("--previous", earlier) if way == "patches" else ()
        tool("makelist", site, site / "novamend.xml", "--serial", "2", *previous)
        if way == "patches":
            for patch in sorted(site.rglob("*._.patch")):
                path = re.sub(r"\.[0-9a-f]+\._\.patch$", "", patch.relative_to(site).as_posix())
                tries = [apply_under_wine(old_files[path], patch, new_files[path], scratch) for _ in range(runs)]
                ms, rate, peak = sorted(tries)[len(tries) // 2]
                budget = (old_files[path].stat().st_size + new_files[path].stat().st_size) / MiB + 64
                applied.append((path, new_files[path].stat().st_size, patch.stat().st_size, ms, rate, peak, budget))
        if way == "whole files + zip":
            zip_variants(site, changed)
        with fault_server.FaultServer(str(site)) as server:
            results = [update_once(server, site, old_dir, new_files, baseline) for _ in range(runs)]
        updates[way] = (statistics.median(r[0] for r in results), statistics.median(r[1] for r in results))
        print(f"  {way}: {updates[way][0]:.2f} s, {updates[way][1] / 1000:,.1f} KB", flush=True)
    return applied, updates


def wine_start(runs):
    """Median seconds for Wine to start and end a program that does nothing."""
    times = []
    for _ in range(runs):
        start = time.monotonic()
        harness.wine(["cmd", "/c", "exit"], check=True)
        times.append(time.monotonic() - start)
    return statistics.median(times)


def tables(results, runs, start_seconds):
    lines = [f"Applying under Wine (the client's applier, `delta_bench.exe apply`, its own clock, median of {runs}; "
             "peak resident memory of the Wine process):", "",
             "| pair | file | new size | patch | apply | output rate | peak / budget (old + new + 64 MiB) |",
             "|---|---|---:|---:|---:|---:|---:|"]
    for pair, (applied, _) in results.items():
        for path, size, patch, ms, rate, peak, budget in applied:
            shown_rate = f"{rate:,.0f} MiB/s" if rate and size >= MiB else "-"
            lines.append(f"| {pair} | `{path}` | {deltas.kb(size)} | {deltas.kb(patch)} | {ms:.0f} ms | "
                         f"{shown_rate} | {peak:.0f} / {budget:.0f} MiB |")
    lines += ["", f"The whole update (check, download, install) in `/silence` through one 2 MiB/s link shared by "
              f"all connections, wall time of the updater's process (Wine's start included), median of {runs}; "
              f"bytes are what the server sent. Wine alone takes {start_seconds:.2f} s to start and end a program "
              "that does nothing, in every column:", "",
              "| pair | with patches | whole files | whole files + zip | patches / whole | patches / zip |",
              "|---|---:|---:|---:|---:|---:|"]
    for pair, (_, updates) in results.items():
        cells = [f"{updates[w][0]:.2f} s, {deltas.kb(updates[w][1])}" for w in WAYS]
        lines.append(f"| {pair} | " + " | ".join(cells) + " | "
                     f"{updates['patches'][0] / updates['whole files'][0]:.2f} | "
                     f"{updates['patches'][0] / updates['whole files + zip'][0]:.2f} |")
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=3, help="updates per way and pair (median)")
    parser.add_argument("--no-document", action="store_true", help="print the tables only")
    args = parser.parse_args()
    results = {}
    scratch = harness.SCRATCH / "delta-update"
    try:
        for package, old_version, new_version in deltas.PAIRS:
            pair = f"{package} {old_version} → {new_version}"
            print(pair, flush=True)
            shutil.rmtree(scratch, ignore_errors=True)
            scratch.mkdir(parents=True)
            results[pair] = measure_pair(package, old_version, new_version, args.runs, scratch)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    text = tables(results, args.runs, wine_start(args.runs))
    print(text)
    if args.no_document:
        return
    results_doc.write_block("delta-update", "Measured by `python3 bench/delta_update.py` on this machine "
                            "(2 shared cores), in one run.\n\n" + text)


if __name__ == "__main__":
    main()
