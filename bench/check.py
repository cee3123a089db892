#!/usr/bin/env python3
"""The check step against the XML load it cannot avoid.

For lists of 1,000, 10,000 and 100,000 entries (the comparison copy of the
same size, 1% of its versions different), nginx serves the list and
check_bench.exe runs the whole check under Wine: the fetch through FetchFile,
the read of both lists with MSXML, the comparison and the split. Beside it:
the fetch alone, the check without its fetch (as quick mode runs it, on the
list fetched beforehand), MSXML's load alone of each of the two files
(list_read_bench.exe load), and curl fetching the same list (its whole
process, start included). Our own work is the check without its fetch less
the two loads. Each figure is the fastest of several runs (peak memory: the
largest); every run is a fresh process.

    python3 bench/check.py [--runs N] [--sizes 1000,10000,100000]
"""
import argparse
import re
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
sys.path.insert(0, str(ROOT / "bench"))
import harness  # noqa: E402
import list_read  # noqa: E402

CHECK_BENCH = harness.BIN / "check_bench.exe"
LOAD_BENCH = harness.BIN / "list_read_bench.exe"


def run(exe, mode, argument):
    """(count, wall ms, cpu ms, peak bytes) of one run. Output goes to a file:
    Wine's helper processes may inherit it and outlive the program."""
    with tempfile.TemporaryFile() as out:
        subprocess.run([str(harness.WINE_RUN), str(exe), mode, argument], stdout=out, check=True)
        out.seek(0)
        _, count, wall, cpu, peak = out.read().decode().split()[-5:]
    return int(count), float(wall), float(cpu), int(peak)


def curl_fetch(url, target):
    """(0, wall ms, 0, 0) of curl fetching the list, as a sample like run()'s."""
    start = time.monotonic()
    subprocess.run(["curl", "-s", "-f", "-o", str(target), url], check=True)
    return 0, (time.monotonic() - start) * 1000, 0, 0


def comparison_copy(data, every=100):
    """The list as an earlier release left it: every hundredth version
    different, and no guid (reading a fetched list removes it from the file
    before the file is kept)."""
    data = re.sub(rb"<guid>[^<]*</guid>", b"", data)
    seen = 0

    def older(match):
        nonlocal seen
        seen += 1
        return match.group(0)[:-1] + b'-old"' if seen % every == 0 else match.group(0)
    return re.sub(rb' ver="[^"]*"', older, data)


def best(samples):
    return (samples[0][0], min(s[1] for s in samples), min(s[2] for s in samples), max(s[3] for s in samples))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--sizes", default="1000,10000,100000")
    args = parser.parse_args()
    for exe in (CHECK_BENCH, LOAD_BENCH):
        if not exe.exists():
            sys.exit(f"{exe} missing: run scripts/build")

    work = harness.DRIVE_C / "bench-check"
    shutil.rmtree(work, ignore_errors=True)
    site, app = work / "site", work / "app"
    site.mkdir(parents=True)
    app.mkdir(parents=True)
    subprocess.run([str(harness.WINE_RUN), "--prepare"], check=True)
    rows = []
    with harness.Nginx(site) as nginx:
        for count in (int(s) for s in args.sizes.split(",")):
            fetched = list_read.make_list(count)
            installed = comparison_copy(fetched)
            (site / "list.xml").write_bytes(fetched)
            (app / "novamend.ini").write_text(harness.ini_text({
                "UPDATEINFO": {"ListURL": nginx.url("list.xml")}, "Novamend": {"TempAppPath": "1"}}))
            samples = {"check": [], "fetch": [], "local": [], "load list": [], "load copy": [], "curl": []}
            for _ in range(args.runs):
                (app / "novamend.xml").write_bytes(installed)
                samples["check"].append(run(CHECK_BENCH, "check", harness.windows_path(app)))
                samples["fetch"].append(run(CHECK_BENCH, "fetch", harness.windows_path(app)))
                samples["curl"].append(curl_fetch(nginx.url("list.xml"), work / "curl.xml"))
                (app / "novamend.xml").write_bytes(installed)
                samples["local"].append(run(CHECK_BENCH, "local", harness.windows_path(app)))
                # The same bytes the check reads: the served list and the copy.
                (work / "load.xml").write_bytes(fetched)
                samples["load list"].append(run(LOAD_BENCH, "load", harness.windows_path(work / "load.xml")))
                samples["load copy"].append(run(LOAD_BENCH, "load", harness.windows_path(app / "novamend.xml")))
            b = {k: best(v) for k, v in samples.items()}
            for mode in ("check", "local"):
                assert b[mode][0] == count // 100, f"{mode}: {b[mode][0]} entries marked of {count}"
            rows.append((count, len(fetched), b))
            print(count, {k: v[1:] for k, v in b.items()}, flush=True)
    shutil.rmtree(work, ignore_errors=True)

    lines = ["| entries | list file | whole check | fetch alone | curl's fetch | fetch / curl | check without fetch "
             "| MSXML load (list + copy) | our work | our work / load | peak memory: check / one load |",
             "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"]
    for count, size, b in rows:
        load = b["load list"][1] + b["load copy"][1]
        ours = b["local"][1] - load
        lines.append(f"| {count:,} | {size / 1048576:.1f} MiB | {b['check'][1]:.0f} ms | {b['fetch'][1]:.0f} ms | "
                     f"{b['curl'][1]:.0f} ms | {b['fetch'][1] / b['curl'][1]:.1f} | {b['local'][1]:.0f} ms | {b['load list'][1]:.0f} + {b['load copy'][1]:.0f} ms | {ours:.0f} ms | "
                     f"{ours / load:.0%} | {b['check'][3] / 1048576:.0f} / {b['load list'][3] / 1048576:.0f} MiB |")
    print("\n".join(lines))


if __name__ == "__main__":
    main()
