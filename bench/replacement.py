#!/usr/bin/env python3
"""The replacement step of a whole update of a large application, before and
after it became all or nothing, side by side in one run; and settling an
update killed in the middle of its commit at the next start.

The application: every file of the Wine prefix's system32 folder (about 720
libraries, programs and tables, about 620 MB). The new release is those files
as they are, served by nginx; the installed release has the same names and
sizes, each file's first 4 KiB different (so every file is really replaced,
and an old file is as large as its new one). Each run is a fresh
installation and a real `/silence` cycle (check, download, local check,
replacement) of a branded updater; the replacement step is timed by the
updater's own events: [UpdateEventWaitClose] runs bench/event_stamp.exe at
UpdateCopy and at UpdateCopyOk, and the step is the span from the first
stamp's run to the second stamp's creation. The two builds: the baseline
(the commit before the journaled replacement, built in a worktree under
build/) and this checkout's build/win. They take turns run by run, so that a
machine that slows down weighs on both alike.

Settling: the update of this checkout's build is killed once the journal
(__install.journal in the application directory) shows half of its swaps
made and no commit; then `/checkforupdates` is started, and the time from its
start until the journal is gone is taken (the Wine process's start
included), and the files are checked to be all new.

    python3 bench/replacement.py [--runs N] [--files N]

After scripts/build (this checkout's build/win with bench/event_stamp.exe);
the baseline is built on first use (the updater and its vendor tool only).
Deleted files are kept aside until the end: on this machine's disk new files
are slow to make for minutes after many deletions (see bench/downloads.py).
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import harness  # noqa: E402

BASELINE_COMMIT = "b7664f4"
BASELINE_TREE = harness.BUILD / "bench-baseline"
BASELINE_BIN = BASELINE_TREE / "build" / "win"
STAMP = harness.BIN / "event_stamp.exe"
WORK = harness.BUILD / "bench-replacement"
RETIRED = harness.DRIVE_C / "bench-replacement-retired"
CHANGED_HEAD = 4096
JOURNAL = "__install.journal"


def build_baseline():
    """The baseline's updater and vendor tool, configured as scripts/build
    configures a tree; the tests of that tree are not needed here."""
    if (BASELINE_BIN / "novamend.exe").exists() and (BASELINE_BIN / "novamend-tool.exe").exists():
        return
    if not BASELINE_TREE.exists():
        subprocess.run(["git", "-C", str(ROOT), "worktree", "add", "--detach", str(BASELINE_TREE), BASELINE_COMMIT],
                       check=True)
    # minizip's sources, fetched by scripts/setup into this checkout's build tree.
    shutil.copytree(harness.BUILD / "third_party", BASELINE_TREE / "build" / "third_party", dirs_exist_ok=True)
    launcher = ([f"-DCMAKE_{lang}_COMPILER_LAUNCHER=ccache" for lang in ("CXX", "C")]
                if shutil.which("ccache") else [])
    subprocess.run(["cmake", "-S", str(BASELINE_TREE), "-B", str(BASELINE_BIN), "-G", "Ninja",
                    "-DCMAKE_BUILD_TYPE=Release",
                    f"-DCMAKE_TOOLCHAIN_FILE={BASELINE_TREE / 'cmake' / 'mingw-w64-x86_64.cmake'}"] + launcher,
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(BASELINE_BIN), "-j", "2", "--target", "novamend", "novamend-tool"],
                   check=True)


def application_files(limit):
    """(name, Linux path) of the files the application is made of."""
    system32 = harness.DRIVE_C / "windows" / "system32"
    files = sorted((p.name, p) for p in system32.iterdir() if p.is_file() and not p.is_symlink())
    return files[:limit] if limit else files


def old_content(new):
    """The installed release's file: the new one with its head changed."""
    head = min(CHANGED_HEAD, len(new))
    return bytes(b ^ 0xA5 for b in new[:head]) + new[head:]


def make_site(files):
    """The served release: links to the files, and the list at version 2."""
    site = WORK / "site"
    shutil.rmtree(site, ignore_errors=True)
    site.mkdir(parents=True)
    for name, path in files:
        (site / name).symlink_to(path)
    (site / "novamend.xml").write_text(harness.list_xml([{"path": name, "ver": "2"} for name, _ in files]))
    return site


def installation(bin_dir, list_url, files, record):
    """A fresh application at version 1 with an updater of that build whose
    events stamp the record."""
    stamp = harness.windows_path(STAMP)
    events = {state: f"{stamp} {harness.windows_path(record)} {state}" for state in ("UpdateCopy", "UpdateCopyOk")}
    saved, harness.BIN = harness.BIN, bin_dir
    try:
        inst = harness.Installation(list_url, UpdateEventWaitClose=events)
    finally:
        harness.BIN = saved
    for name, path in files:
        (inst.app_dir / name).write_bytes(old_content(path.read_bytes()))
    inst.install_list(harness.list_xml([{"path": name, "ver": "1"} for name, _ in files]))
    return inst


def state_of(inst, files):
    """'new' or 'old' when every file is of that release; else how many of
    each (and missing)."""
    counts = {"new": 0, "old": 0, "other": 0}
    for name, path in files:
        target = inst.app_dir / name
        try:
            with open(target, "rb") as f:
                head = f.read(CHANGED_HEAD)
            size = target.stat().st_size
        except OSError:
            counts["other"] += 1
            continue
        with open(path, "rb") as f:
            new_head = f.read(CHANGED_HEAD)
        same_size = size == path.stat().st_size
        counts["new" if same_size and head == new_head else "old" if same_size and head == old_content(new_head)
               else "other"] += 1
    for state in ("new", "old"):
        if counts[state] == len(files):
            return state
    return counts


def leftovers(inst):
    return [p.name for p in inst.app_dir.iterdir()
            if p.name == JOURNAL or ".__old" in p.name or p.name.endswith(".__new")]


def retire(inst):
    """The installation out of the way, deleted when the benchmark ends."""
    RETIRED.mkdir(parents=True, exist_ok=True)
    for folder in (inst.app_dir, inst.exe.parent):
        folder.rename(RETIRED / f"{len(list(RETIRED.iterdir()))}")


# From the system clock's origin (1601) to the Unix one, in milliseconds.
UNIX_EPOCH_MS = 11644473600000


def stamps(record):
    """{state: (created, ran)} from the stamps' record, in milliseconds of
    the Unix clock (as time.time() counts)."""
    result = {}
    for line in record.read_text().splitlines():
        state, created, ran = line.split("\t")
        result[state] = (float(created) - UNIX_EPOCH_MS, float(ran) - UNIX_EPOCH_MS)
    return result


def timed_update(bin_dir, list_url, files, number):
    """The replacement step's milliseconds in one whole update."""
    record = WORK / f"stamps-{number}.txt"
    record.unlink(missing_ok=True)
    inst = installation(bin_dir, list_url, files, record)
    inst.run("/silence", timeout=1800)
    seen = stamps(record) if record.exists() else {}
    state, left = state_of(inst, files), leftovers(inst)
    if state != "new" or left or set(seen) != {"UpdateCopy", "UpdateCopyOk"}:
        sys.exit(f"{bin_dir}: the update did not complete: files {state}, left {left[:5]}, stamps {seen}\n"
                 + inst.log()[-3000:])
    retire(inst)
    return seen["UpdateCopyOk"][0] - seen["UpdateCopy"][1]


def journal_counts(inst):
    try:
        lines = (inst.app_dir / JOURNAL).read_bytes().decode("utf-8", "replace").split("\n")[:-1]
    except OSError:
        return None
    steps = sum(1 for line in lines if line.startswith("step\t"))
    done = sum(1 for line in lines if line.startswith("done\t"))
    return steps, done, "prepared" in lines, "committed" in lines


def timed_settling(list_url, files, number):
    """(ms from the start until the journal is gone, swaps made when killed,
    of how many) for an update killed in the middle of its commit."""
    record = WORK / f"stamps-settle-{number}.txt"
    inst = installation(harness.BIN, list_url, files, record)
    updater = inst.start("/silence")
    counts = None
    while updater.poll() is None:
        counts = journal_counts(inst)
        if counts and counts[2] and not counts[3] and counts[1] >= counts[0] // 2:
            break
        time.sleep(0.001)
    inst.kill()
    updater.wait(timeout=60)
    if not (inst.app_dir / JOURNAL).exists() or isinstance(state_of(inst, files), str):
        sys.exit(f"the kill missed the commit: journal {counts}, files {state_of(inst, files)}")
    start = time.time()
    settling = inst.start("/checkforupdates")
    while (inst.app_dir / JOURNAL).exists() and settling.poll() is None:
        time.sleep(0.0005)
    settled = time.time() - start
    settling.wait(timeout=600)
    state, left = state_of(inst, files), leftovers(inst)
    if state != "new" or left:
        sys.exit(f"settling left files {state}, {left[:5]}\n" + inst.log()[-3000:])
    retire(inst)
    return settled * 1000, counts[1], counts[0]


def start_cost(number):
    """Milliseconds from starting a Windows program through the project's
    Wine runner until the program runs: its share of a settling time. The
    stamp's clock is the system's, the same as time.time()."""
    record = WORK / f"stamps-start-{number}.txt"
    record.unlink(missing_ok=True)
    start = time.time()
    harness.wine([STAMP, harness.windows_path(record), "start"], check=True)
    return stamps(record)["start"][1] - start * 1000


def summary(values):
    """Median and spread (lowest to highest) of milliseconds."""
    return f"{statistics.median(values):.0f} ms ({min(values):.0f} to {max(values):.0f})"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--files", type=int, default=0, help="the first N files only (0: all)")
    parser.add_argument("--settling-only", action="store_true", help="only settling, of this build")
    args = parser.parse_args()
    for exe in (harness.BIN / "novamend.exe", harness.BIN / "novamend-tool.exe", STAMP):
        if not exe.exists():
            sys.exit(f"{exe} missing: run scripts/build")
    if not args.settling_only:
        build_baseline()
    subprocess.run([str(harness.WINE_RUN), "--prepare"], check=True)
    shutil.rmtree(RETIRED, ignore_errors=True)
    WORK.mkdir(parents=True, exist_ok=True)
    files = application_files(args.files)
    total = sum(path.stat().st_size for _, path in files)
    print(f"{len(files)} files, {total / 1048576:.0f} MiB", flush=True)
    builds = {} if args.settling_only else {"baseline": BASELINE_BIN, "journaled": harness.BIN}
    times = {name: [] for name in builds}
    settling, starts = [], []
    try:
        with harness.Nginx(make_site(files)) as nginx:
            url = nginx.url("novamend.xml")
            for run in range(args.runs):
                for name, bin_dir in builds.items():
                    times[name].append(timed_update(bin_dir, url, files, f"{name}-{run}"))
                    print(f"{name} run {run + 1}: {times[name][-1]:.0f} ms", flush=True)
            for run in range(args.runs):
                settling.append(timed_settling(url, files, run))
                starts.append(start_cost(run))
                print(f"settling run {run + 1}: {settling[-1][0]:.0f} ms after {settling[-1][1]} of "
                      f"{settling[-1][2]} swaps", flush=True)
    finally:
        shutil.rmtree(RETIRED, ignore_errors=True)
    if args.settling_only:
        print(f"settling: {summary([s[0] for s in settling])}; starting a program: {summary(starts)}")
        return
    ratio = statistics.median(times["journaled"]) / statistics.median(times["baseline"])
    print(f"\n{len(files)} files, {total / 1048576:.0f} MiB; median (lowest to highest) of {args.runs} runs\n")
    print("| | replacement step | journaled / baseline |\n|---|---:|---:|")
    print(f"| baseline ({BASELINE_COMMIT}) | {summary(times['baseline'])} | |")
    print(f"| journaled (this build) | {summary(times['journaled'])} | {ratio:.2f} |")
    print(f"| settling a commit killed half-way, at the next start | {summary([s[0] for s in settling])} | |")
    print(f"| of it, starting a Windows program until it runs | {summary(starts)} | |")


if __name__ == "__main__":
    main()
