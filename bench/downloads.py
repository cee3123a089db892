#!/usr/bin/env python3
"""Downloads side by side: our downloader (bench/download_bench.exe under
Wine, over DownloadFile and DownloadStep), aria2c (-x8 -s8 -j8) and curl, in
one run, on four cases:

  1. one 256 MiB file from nginx on loopback
  2. 2,000 files of 16 KiB from nginx
  3. one 64 MiB file from nginx limiting each connection to 1 MiB/s
  4. 200 files of 256 KiB through the fault server, 30 ms latency per request
  5. one 32 MiB file through the fault server, which drops every connection
     after a random 1 to 4 MiB (aria2c with its retries)

For each: wall time, throughput, CPU time (user + system of the process tree),
peak memory (largest resident set of one process) and, through the fault
server, the body bytes it sent, with ratios to each peer, written to
docs/benchmarks.md between the download markers. On a busy machine, --runs N
keeps each tool's fastest of N runs.

    python3 bench/downloads.py [--quick] [--cases 1,2,3,4,5] [--runs N] [--work DIR]

The files lie in the Wine prefix's drive, on this machine's disk, unless
--work names another folder (/dev/shm keeps them in memory, which takes the
disk out of the comparison).

A quick run, a run of some cases or one with --work prints its table and
leaves the document alone. On this machine's disk, start it a few minutes
after anything deleted many files (the test suite, an earlier run), for the
reason `retire` gives.
"""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import results_doc

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
sys.path.insert(0, str(ROOT / "tests" / "tools"))
import harness  # noqa: E402
import fault_server  # noqa: E402

MiB = 1024 * 1024
TOOLS = set()  # empty: every tool


def make_file(path, size):
    path.parent.mkdir(parents=True, exist_ok=True)
    block = os.urandom(MiB)
    with open(path, "wb") as f:
        left = size
        while left > 0:
            f.write(block[: min(left, MiB)])
            left -= MiB


def wineserver_pid():
    """The wineserver of our prefix: it runs in a directory named after the
    prefix's device and inode."""
    info = os.stat(harness.PREFIX)
    suffix = f"/server-{info.st_dev:x}-{info.st_ino:x}"
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            if (entry / "comm").read_text().startswith("wineserver") and os.readlink(entry / "cwd").endswith(suffix):
                return int(entry.name)
        except OSError:
            continue
    return None


def process_cpu(pid):
    """User + system seconds a running process has used so far."""
    if pid is None:
        return 0.0
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def measured(cmd, env=None, server=None):
    """Runs cmd under GNU time: (wall seconds, cpu seconds, peak KiB). The
    CPU time of `server` (Wine's wineserver, which does part of every Wine
    process's work) during the run is added to the process's own."""
    full_env = dict(os.environ)
    full_env.update(env or {})
    report = tempfile.NamedTemporaryFile(delete=False, suffix=".time")
    # Files, not pipes: Wine's helper processes inherit the output handles and
    # outlive the program, so a pipe would never reach its end.
    errors = tempfile.TemporaryFile()
    server_start = process_cpu(server)
    start = time.monotonic()
    result = subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", report.name] + [str(c) for c in cmd],
                            stdout=subprocess.DEVNULL, stderr=errors, env=full_env)
    wall = time.monotonic() - start
    server_cpu = process_cpu(server) - server_start
    fields = Path(report.name).read_text().split()[-3:]
    os.unlink(report.name)
    if result.returncode != 0:
        errors.seek(0)
        raise RuntimeError(f"{cmd[0]} failed: {errors.read().decode(errors='replace')[-500:]}")
    return wall, float(fields[0]) + float(fields[1]) + server_cpu, int(fields[2])


def digest_tree(folder, names):
    return {n: hashlib.md5((folder / n).read_bytes()).hexdigest() for n in names}


def ours(mode, urls, out_dir):
    """Our downloader under Wine; the bench program writes into out_dir."""
    out_dir.mkdir(parents=True, exist_ok=True)
    listing = out_dir.parent / (out_dir.name + ".urls")
    listing.write_text("\n".join(urls) + "\n")
    exe = harness.BIN / "download_bench.exe"
    wine = shutil.which("wine64") or shutil.which("wine")
    env = {"WINEPREFIX": str(harness.PREFIX), "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}
    return measured([wine, exe, mode, harness.windows_path(listing), harness.windows_path(out_dir)], env,
                    wineserver_pid())


def aria2(urls, out_dir, retries=False):
    out_dir.mkdir(parents=True, exist_ok=True)
    listing = out_dir.parent / (out_dir.name + ".aria2")
    listing.write_text("\n".join(urls) + "\n")
    extra = ["--max-tries=0", "--retry-wait=0"] if retries else []
    return measured(["aria2c", "-q", "-x8", "-s8", "-j8", "--min-split-size=1M", "--file-allocation=none",
                     "--allow-overwrite=true", "--auto-file-renaming=false"] + extra + ["-d", out_dir, "-i", listing])


def curl(urls, out_dir):
    out_dir.mkdir(parents=True, exist_ok=True)
    args = ["curl", "-s", "-f"]
    if len(urls) > 1:
        args += ["-Z", "--parallel-max", "8"]
    for u in urls:
        args += ["-o", out_dir / u.rsplit("/", 1)[1], u]
    return measured(args)


def retire(out, work):
    """Moves a run's fetched files out of the way, to be deleted when the
    benchmark ends. Deleting thousands of files in the middle of the run would
    slow down every tool that creates files after it: on an ext4 volume
    without a journal (this machine's disk) a new file skips over every inode
    freed in the last minutes, one check each."""
    retired = work / "retired"
    retired.mkdir(exist_ok=True)
    out.rename(retired / f"{len(list(retired.iterdir()))}")


def run_case(label, urls, names, served, total_bytes, mode, work, runs, server=None, retries=False):
    """Each tool `runs` times, the tools taking turns round by round, so that
    a machine that slows down or speeds up over minutes weighs on all of them
    alike; the fastest run of each stands. With a fault server, the body
    bytes it sent for that run come along (None otherwise). With retries (a
    server that drops connections) curl stays out: it does not go on from
    where a dropped transfer broke."""
    peers = [p for p in (("ours", "aria2c") if retries else ("ours", "aria2c", "curl")) if not TOOLS or p in TOOLS]
    rows = {}
    for _ in range(runs):
        for peer in peers:
            out = work / f"{label}-{peer}"
            shutil.rmtree(out, ignore_errors=True)
            if server:
                server.state.reset_counters()
            if peer == "ours":
                wall, cpu, peak = ours(mode, urls, out)
            elif peer == "aria2c":
                wall, cpu, peak = aria2(urls, out, retries)
            else:
                wall, cpu, peak = curl(urls, out)
            # The download step leaves each file under its finished name, L + "_".
            fetched = [n + "_" for n in names] if peer == "ours" and mode == "step" else names
            got = list(digest_tree(out, fetched).values())
            assert got == list(digest_tree(served, names).values()), f"{peer} fetched wrong bytes in {label}"
            sent = server.stats()["body_bytes"] if server else None
            if len(names) > 1:
                retire(out, work)
            else:
                shutil.rmtree(out, ignore_errors=True)
            print(f"{label:40s} {peer:7s} {wall:7.2f} s {total_bytes / MiB / wall:8.1f} MiB/s cpu {cpu:6.2f} s "
                  f"peak {peak / 1024:6.1f} MiB" + (f" served {sent / MiB:.1f} MiB" if server else ""), flush=True)
            if peer not in rows or wall < rows[peer][0]:
                rows[peer] = (wall, cpu, peak, sent)
    return {peer: rows[peer] for peer in peers}


def table(results):
    lines = ["| case | tool | wall (s) | throughput (MiB/s) | CPU (s) | peak memory (MiB) | served (MiB) "
             "| wall vs aria2c | wall vs curl |",
             "|---|---|---|---|---|---|---|---|---|"]
    for label, (total, rows) in results.items():
        for peer, (wall, cpu, peak, sent) in rows.items():
            vs_aria = f"{wall / rows['aria2c'][0]:.2f}" if "aria2c" in rows else ""
            vs_curl = f"{wall / rows['curl'][0]:.2f}" if "curl" in rows else ""
            served = f"{sent / MiB:.1f}" if sent is not None else ""
            lines.append(f"| {label} | {peer} | {wall:.2f} | {total / MiB / wall:.1f} | {cpu:.2f} | "
                         f"{peak / 1024:.1f} | {served} | {vs_aria} | {vs_curl} |")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quick", action="store_true", help="smaller sizes, for trying the script")
    parser.add_argument("--cases", default="1,2,3,4,5", help="which cases to run, for trying the script")
    parser.add_argument("--runs", type=int, default=1, help="runs of each tool; the fastest stands")
    parser.add_argument("--tools", default="", help="only these tools (ours,aria2c,curl), for trying changes")
    parser.add_argument("--work", default="", help="folder for the served and fetched files (default: in the "
                        "Wine prefix's drive); /dev/shm keeps them in memory")
    args = parser.parse_args()
    global TOOLS
    TOOLS = set(filter(None, args.tools.split(",")))
    cases = {int(c) for c in args.cases.split(",")}
    scale = 8 if args.quick else 1

    work = Path(args.work) / "novamend-bench-downloads" if args.work else harness.DRIVE_C / "bench-downloads"
    shutil.rmtree(work, ignore_errors=True)
    site = work / "site"
    big = 256 * MiB // scale
    make_file(site / "big.bin", big)
    slow = 64 * MiB // scale
    make_file(site / "slow" / "slow.bin", slow)
    small_names = [f"s{i:04d}.bin" for i in range(2000 // scale)]
    for n in small_names:
        (site / "small").mkdir(parents=True, exist_ok=True)
        (site / "small" / n).write_bytes(os.urandom(16 * 1024))
    flaky = 32 * MiB // scale
    make_file(site / "flaky" / "flaky.bin", flaky)
    mid_names = [f"m{i:03d}.bin" for i in range(200 // scale)]
    for n in mid_names:
        (site / "mid").mkdir(parents=True, exist_ok=True)
        (site / "mid" / n).write_bytes(os.urandom(256 * 1024))

    results = {}
    subprocess.run([str(harness.WINE_RUN), "--prepare"], check=True)
    with harness.Nginx(site, extra="location /slow/ { limit_rate 1m; }") as nginx:
        if 1 in cases:
            results["1. one 256 MiB file, loopback"] = (big, run_case(
                "1. one 256 MiB file, loopback", [nginx.url("big.bin")], ["big.bin"], site, big, "file", work, args.runs))
        if 2 in cases:
            results["2. 2,000 files of 16 KiB"] = (16 * 1024 * len(small_names), run_case(
                "2. 2,000 files of 16 KiB", [nginx.url("small/" + n) for n in small_names], small_names,
                site / "small", 16 * 1024 * len(small_names), "step", work, args.runs))
        if 3 in cases:
            results["3. one 64 MiB file, 1 MiB/s per connection"] = (slow, run_case(
                "3. one 64 MiB file, 1 MiB/s per connection", [nginx.url("slow/slow.bin")], ["slow.bin"],
                site / "slow", slow, "file", work, args.runs))
    server = fault_server.FaultServer(str(site / "mid"))
    server.start()
    try:
        if 4 in cases:
            # Every request pays the latency, the archive probes that miss included.
            server.set_faults({f"/{n}{suffix}": {"latency": 0.030} for n in mid_names for suffix in ("", "._.zip")})
            urls = [f"http://127.0.0.1:{server.port}/{n}" for n in mid_names]
            results["4. 200 files of 256 KiB, 30 ms latency"] = (256 * 1024 * len(mid_names), run_case(
                "4. 200 files of 256 KiB, 30 ms latency", urls, mid_names, site / "mid",
                256 * 1024 * len(mid_names), "step", work, args.runs, server))
    finally:
        server.stop()
    if 5 in cases:
        flaky_server = fault_server.FaultServer(str(site / "flaky"))
        flaky_server.start()
        try:
            flaky_server.set_faults({"/flaky.bin": {"drop_random": [MiB // scale, 4 * MiB // scale]}})
            label = "5. one 32 MiB file, connections dropped after 1-4 MiB"
            results[label] = (flaky, run_case(label, [flaky_server.url("flaky.bin")], ["flaky.bin"], site / "flaky",
                                              flaky, "file", work, args.runs, flaky_server, retries=True))
        finally:
            flaky_server.stop()
    shutil.rmtree(work, ignore_errors=True)

    if args.quick or cases != {1, 2, 3, 4, 5} or TOOLS or args.work:
        # Only a full run of every case stands in the document.
        print(table(results))
        return
    runs = f", the fastest of {args.runs} runs of each tool" if args.runs > 1 else ""
    results_doc.write_block("downloads", "## Downloads\n\nMeasured by `python3 bench/downloads.py` on this machine "
                            f"(2 cores), all tools in one run{runs}. Our downloader runs under Wine.\n\n" +
                            table(results) + "\n")


if __name__ == "__main__":
    main()
