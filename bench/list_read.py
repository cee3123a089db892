#!/usr/bin/env python3
"""Reading the update list: the XML load alone against our whole read.

Generates lists of 1,000, 10,000 and 100,000 entries, runs list_read_bench.exe
under Wine once per mode and size (each in a fresh process, so peak memory
belongs to that mode), and prints a Markdown table. The machine is shared, so
each figure is the fastest of several runs (wall time; the process's
processor time, at the system's 10-16 ms resolution, alongside).
Usage: bench/list_read.py [--runs N] [--sizes 1000,10000,100000]
"""
import argparse
import os
import statistics
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
BUILD = Path(os.environ.get("NOVAMEND_BUILD", ROOT / "build"))
BENCH = BUILD / "win" / "list_read_bench.exe"
PREFIX = Path(os.environ.get("WINEPREFIX", BUILD / "wineprefix"))
WORK = PREFIX / "drive_c" / "novamend-bench"


def make_list(count):
    """A list shaped like a real one: groups of files with the usual
    attributes, a few runs and a description."""
    lines = ['<?xml version="1.0" encoding="utf-8"?>', "<update>",
             "<guid>{0D5C7A52-1F0B-4C1E-9E43-5B7A2C1D0E11}</guid>",
             "<description>Release notes\\nSecond line</description>"]
    for i in range(count):
        if i % 100 == 0:
            if i:
                lines.append("</group>")
            lines.append(f'<group name="g{i // 100}">')
        extra = ""
        if i % 10 == 0:
            extra += ' oper="reg"'
        if i % 25 == 0:
            extra += f' url="http://example.com/files/v2/bin{i % 7}/lib{i}.dll"'
        if i % 50 == 0:
            extra += f' shortcut="Tool {i}" shortcuticon="{{app}}\\icons\\t{i}.ico" iconindex="0"'
        lines.append(f'<file path="bin{i % 7}\\sub{i % 13}\\lib{i}.dll" ver="{i:08x}-1.{i % 97}" '
                     f'dstname="lib{i}.dll"{extra}/>')
    if count:
        lines.append("</group>")
    lines.append('<run path="{app}\\setup.exe" param="/quiet" wait="yes"/>')
    lines.append("</update>")
    return "\n".join(lines).encode("utf-8")


def run(mode, windows_path):
    out = subprocess.run([str(ROOT / "scripts" / "wine-run"), str(BENCH), mode, windows_path],
                         capture_output=True, text=True, check=True).stdout.split()
    _, entries, wall, cpu, peak = out[-5:]
    return int(entries), float(wall), float(cpu), int(peak)


MODES = ("load", "walk", "attributes", "read", "versions", "lookup")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--sizes", default="1000,10000,100000")
    args = parser.parse_args()
    if not BENCH.exists():
        sys.exit(f"{BENCH} missing: run scripts/build")
    WORK.mkdir(parents=True, exist_ok=True)

    rows = []
    for count in (int(s) for s in args.sizes.split(",")):
        data = make_list(count)
        name = f"list-{count}.xml"
        samples = {mode: [] for mode in MODES}
        # Modes take turns, so a busy moment of the machine hits them alike.
        for _ in range(args.runs):
            for mode in MODES:
                # The read removes the guid from the file: every run starts from the same bytes.
                (WORK / name).write_bytes(data)
                samples[mode].append(run(mode, "C:\\novamend-bench\\" + name))
        (WORK / name).unlink()
        best = {mode: (min(s[1] for s in samples[mode]), min(s[2] for s in samples[mode]),
                       max(s[3] for s in samples[mode]), samples[mode][0][0]) for mode in MODES}
        assert best["read"][3] == count + 2, f"read gave {best['read'][3]} entries for {count} files"
        assert best["versions"][3] == count + 2, f"versions read gave {best['versions'][3]} paths for {count} files"
        rows.append((count, len(data), best))

    mib = lambda b: f"{b / 1048576:.0f} MiB"
    print("Wall time, fastest of", args.runs, "runs (processor time in brackets).\n")
    print("| entries | file | load | walk | walk + attributes | whole read | read beyond load | "
          "versions read (comparison copy) | versions beyond load | per-spelling lookup | "
          "peak memory: load / read / lookup |")
    print("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|")
    for count, size, b in rows:
        cell = lambda mode: f"{b[mode][0]:.0f} ms ({b[mode][1]:.0f})"
        load, read, versions = b["load"][0], b["read"][0], b["versions"][0]
        print(f"| {count:,} | {size / 1048576:.1f} MiB | {cell('load')} | {cell('walk')} | {cell('attributes')} | "
              f"{cell('read')} | {read - load:.0f} ms = {(read - load) / load:.0%} of load | {cell('versions')} | "
              f"{versions - load:.0f} ms = {(versions - load) / load:.0%} of load | {cell('lookup')} | "
              f"{mib(b['load'][2])} / {mib(b['read'][2])} / {mib(b['lookup'][2])} |")


if __name__ == "__main__":
    main()
