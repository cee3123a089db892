#!/usr/bin/env python3
"""Screenshots of the windows for docs/screenshots/: the real novamend.exe
under Wine on the virtual display, updating from a slow local nginx. The
progress window at the start, in the middle and at the end of the download,
at 150% display scaling, and with a vendor's own pictures; the tray mode's
notification window when files were found, counting down, and after the
update; the .NET Framework dialog during and after its download; the
example host (examples/host) following an update, with the trace of every
message it received in that run (build/screenshots/host-trace.txt, the
sequence docs/host-integration.md shows).

    scripts/wine-run --prepare && python3 scripts/screenshots.py [progress] [tray] [dotnet] [host]

Needs a build (scripts/build) and, for the vendor's pictures, a python3 with
Pillow (Debian's python3-pil)."""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import uuid
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import harness  # noqa: E402

OUT = ROOT / "docs" / "screenshots"

# A vendor's look made with the same drawing script: graphite instead of wine
# red. The label's red panel stays: the window writes the percent on that red.
VENDOR_COLOURS = {
    "WINE_TOP": (46, 49, 56), "WINE_BOTTOM": (22, 24, 28), "WINE_GLOW": (84, 90, 104),
    "WINDOW_EDGE": (92, 96, 106), "WINE_TRACK": (16, 17, 20), "WINE_TRACK_EDGE": (74, 78, 88),
    "MARK_LIGHT": (214, 38, 46), "MARK_DARK": (146, 12, 24), "ROSE": (222, 228, 240),
    "GLYPH": (226, 230, 238), "BUTTON_HOVER": (84, 90, 104),
}


def vendor_pictures(folder):
    script = ROOT / "src" / "res" / "pictures" / "make_pictures.py"
    code = ("import importlib.util, sys\n"
            f"spec = importlib.util.spec_from_file_location('pictures', {str(script)!r})\n"
            "m = importlib.util.module_from_spec(spec); spec.loader.exec_module(m)\n"
            f"for k, v in {VENDOR_COLOURS!r}.items(): setattr(m, k, v)\n"
            f"m.main(['make_pictures.py', {str(folder)!r}])\n")
    for python in [sys.executable, "/usr/bin/python3"]:
        if subprocess.run([python, "-c", "import PIL"], capture_output=True).returncode == 0:
            subprocess.run([python, "-c", code], check=True)
            return
    sys.exit("screenshots: no python3 with Pillow for the vendor's pictures")


def set_display_scaling(dpi):
    harness.wine(["reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                  "/d", str(dpi), "/f"], check=True)


def capture(site_url, shots, brand_options=()):
    """Runs a default-mode update and takes a screenshot at each (name, low, high):
    once the window's label shows a percent above low and below high."""
    caption = "Screenshot " + uuid.uuid4().hex[:8]
    inst = harness.Installation(site_url, novamend={"filethread": "1", "threadcount": "1"},
                                brand_options=["--caption", caption] + list(brand_options))
    updater = harness.start([inst.exe])
    try:
        for name, low, high in shots:
            record = harness.SCRATCH / f"shot-{uuid.uuid4().hex[:8]}.txt"
            harness.wine([harness.BIN / "progress_probe.exe", caption, harness.windows_path(record), "wait",
                          "until", str(low), str(high)], timeout=180, check=True)
            lines = [line.split("\t") for line in record.read_text(encoding="utf-8").splitlines()]
            box = [int(v) for v in next(line for line in lines if line[0] == "window")[1:]]
            harness.screenshot(OUT / name, box)
            print(f"{OUT / name}: {lines[-1][1]}")
    finally:
        updater.wait(timeout=120)


def probe(caption, *commands):
    """Runs progress_probe.exe to its end; returns its record lines."""
    record = harness.SCRATCH / f"shot-{uuid.uuid4().hex[:8]}.txt"
    harness.SCRATCH.mkdir(parents=True, exist_ok=True)
    harness.wine([harness.BIN / "progress_probe.exe", caption, harness.windows_path(record)] + list(commands),
                 timeout=300, check=True)
    return [line.split("\t") for line in record.read_text(encoding="utf-8").splitlines()]


def window_box(lines):
    return [int(v) for v in next(line for line in lines if line[0] == "window")[1:]]


def shoot(name, box):
    harness.screenshot(OUT / name, box)
    print(OUT / name)


def capture_tray(site_url):
    """The notification window as a check finds files, some seconds into its
    countdown, and again after the update it ran when the countdown ended."""
    inst = harness.Installation(site_url, novamend={"CheckTmSpan": "60", "filethread": "1", "threadcount": "1"},
                                application={"Name": "Sample Editor"})
    inst.name = "Sample Editor"  # the window's caption, by which the probe finds it
    updater = harness.start([inst.exe, "/tryicon"])
    try:
        box = window_box(probe(inst.name, "wait"))
        shoot("tray-found.png", box)
        time.sleep(18)
        shoot("tray-counting-down.png", box)
        probe(inst.name, "hidden", "wait")
        shoot("tray-completed.png", box)
        probe(inst.name, "traymenu")
    finally:
        updater.wait(timeout=60)


def capture_dotnet(site_url):
    """The .NET Framework dialog while the installer arrives and once it is there."""
    inst = harness.Installation(site_url)
    updater = harness.start([inst.exe, "/dotnet35"])
    try:
        box = window_box(probe(inst.name, "wait", "click", "1"))
        time.sleep(2)
        shoot("dotnet-downloading.png", box)
        probe(inst.name, "text", "1", "Install")
        shoot("dotnet-downloaded.png", box)
        probe(inst.name, "click", "2", "gone")
    finally:
        updater.wait(timeout=60)


def capture_host(folder):
    """The example host halfway through an update of three files and release
    notes from a slow server; then the whole run's trace, printed with each
    series of 1978 messages cut to its first and last lines."""
    files = {"editor.exe": os.urandom(400_000), "lang/en.lan": os.urandom(12_000), "readme.txt": b"Sample Editor 2.0"}
    for path, data in files.items():
        (folder / path).parent.mkdir(parents=True, exist_ok=True)
        (folder / path).write_bytes(data)
    notes = "".join(f"<description>{text}</description>"
                    for text in ("Sample Editor 2.0", "Opens large files twice as fast.", "Printing no longer stops."))
    (folder / "novamend.xml").write_text(harness.list_xml([{"path": p, "ver": "2"} for p in files], extra=notes))
    with harness.Nginx(folder, extra="limit_rate 60k;") as nginx:
        inst = harness.Installation(nginx.url("novamend.xml"))
        host = harness.HostExample(updater=inst.exe)
        try:
            # Without a window manager the caption is not drawn: the client area is what shows.
            box = [int(v) for v in next(line for line in host.probe("wait") if line[0] == "client")[1:]]
            host.press("IDC_START")
            harness.wait_for(lambda: any(line[0] == "1978" and line[1] == "400000" and int(line[2]) > 150_000
                                         for line in host.lines()), timeout=120)
            shoot("host-example.png", box)
            harness.wait_for(lambda: host.exit_code() is not None, timeout=180)
        finally:
            host.close()
    trace = harness.BUILD / "screenshots" / "host-trace.txt"
    trace.parent.mkdir(parents=True, exist_ok=True)
    shutil.copyfile(host.record, trace)
    print(trace)
    lines = trace.read_text(encoding="utf-8").splitlines()
    def size(i):
        """The file size of a 1978 line."""
        return lines[i].split("\t")[1] if 0 <= i < len(lines) and lines[i].startswith("1978\t") else None

    shown = []
    for i, line in enumerate(lines):
        inner = size(i) is not None and size(i - 1) == size(i) == size(i + 1)
        if not inner:
            shown.append(line)
        elif shown[-1] != "...":
            shown.append("...")
    print("\n".join(shown))


def main():
    groups = set(sys.argv[1:]) or {"progress", "tray", "dotnet", "host"}
    OUT.mkdir(parents=True, exist_ok=True)
    site = Path(tempfile.mkdtemp(prefix="screenshot-site-"))
    pictures = Path(tempfile.mkdtemp(prefix="screenshot-pictures-"))
    try:
        (site / "program.bin").write_bytes(os.urandom(600_000))
        (site / "novamend.xml").write_text(harness.list_xml([{"path": "program.bin", "ver": "2"}]))
        # The stand-in for a Framework installer, fetched from the list's own server.
        shutil.copyfile(harness.BIN / "demoapp.exe", site / "dotnetfx35.exe")
        with harness.Nginx(site, extra="limit_rate 60k;") as nginx:
            url = nginx.url("novamend.xml")
            if "progress" in groups:
                capture(url, [("progress-start.png", 0, 12), ("progress-middle.png", 45, 60),
                              ("progress-end.png", 99, 101)])
                set_display_scaling(144)
                try:
                    capture(url, [("progress-150-percent-scaling.png", 45, 60)])
                finally:
                    set_display_scaling(96)
                vendor_pictures(pictures)
                capture(url, [("progress-vendor-pictures.png", 45, 60)],
                        ["--pictures", harness.windows_path(pictures)])
            if "tray" in groups:
                capture_tray(url)
            if "dotnet" in groups:
                capture_dotnet(url)
        if "host" in groups:
            host_site = site / "host"
            host_site.mkdir()
            capture_host(host_site)
    finally:
        shutil.rmtree(site, ignore_errors=True)
        shutil.rmtree(pictures, ignore_errors=True)


if __name__ == "__main__":
    main()
