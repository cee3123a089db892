"""The progress window under Xvfb, driven by the real cycle against nginx:
where its controls sit on the pictures, a percent that only rises, moving
and minimising it while a slow download runs, and its end in each mode. The
caption and pictures come from the branding tool; a picture the window
cannot load is left out and the update runs all the same. The tray mode's
notification window: hidden while there is nothing to tell, in the bottom
right corner with its countdown when files are found, and the tray menu.
The .NET Framework dialog: a required version the prefix lacks is fetched
through the segment view and its installer started; a present one asks
nothing."""
import os
import shutil
import struct
import tempfile
import unittest
import uuid
from pathlib import Path

import harness

# Where the pictures want the controls at 100% scaling: x, y, width, height in the window.
PLACES = {"165": (345, 195, 75, 13), "166": (0, 0, 500, 256), "167": (34, 175, 422, 10),
          "170": (396, 0, 30, 21), "160": (366, 0, 30, 21)}


def gif(width, height, frames, code_size=8):
    """A GIF of two colours whose frames are lists of 0/1 pixels, coded as
    9-bit LZW codes with a clear code every 254 pixels (no compression)."""
    out = b"GIF89a" + struct.pack("<HHBBB", width, height, 0x80, 0, 0) + bytes([20, 90, 160, 230, 240, 250])
    for pixels in frames:
        codes = [c for i, p in enumerate(pixels) for c in ([256, p] if i % 254 == 0 else [p])] + [257]
        value = sum(c << (9 * i) for i, c in enumerate(codes))
        data = value.to_bytes((9 * len(codes) + 7) // 8, "little")
        out += b"\x21\xF9\x04\x00\x0A\x00\x00\x00\x2C" + struct.pack("<HHHHB", 0, 0, width, height, 0)
        out += bytes([code_size]) + b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255]
                                             for i in range(0, len(data), 255)) + b"\x00"
    return out + b"\x3B"


def probe(caption, *commands):
    """tests/tools/progress_probe.exe, started; returns it and its record file."""
    record = harness.SCRATCH / f"probe-{uuid.uuid4().hex[:8]}.txt"
    process = harness.start([harness.BIN / "progress_probe.exe", caption, harness.windows_path(record)]
                            + list(commands))
    return process, record


def records(record):
    return [line.split("\t") for line in record.read_text(encoding="utf-8").splitlines()] if record.exists() else []


class ProgressWindowTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.site = Path(tempfile.mkdtemp(prefix="window-site-"))
        cls.content = os.urandom(300_000)
        (cls.site / "big.bin").write_bytes(cls.content)
        (cls.site / "novamend.xml").write_text(harness.list_xml([{"path": "big.bin", "ver": "2"}]))
        (cls.site / "empty.xml").write_text(harness.list_xml([]))
        # A list that takes a few seconds to arrive, for a window that shows only while checking.
        (cls.site / "padded.xml").write_text(harness.list_xml([{"path": "big.bin", "ver": "2"}],
                                                              extra="<!--" + "x" * 120_000 + "-->"))
        # Slow enough to see the window in the middle of the download.
        cls.nginx = harness.Nginx(cls.site, extra="limit_rate 40k;")

    @classmethod
    def tearDownClass(cls):
        cls.nginx.stop()
        shutil.rmtree(cls.site, ignore_errors=True)

    def installation(self, *brand_options, list_name="novamend.xml", novamend=None):
        caption = "Novamend window " + uuid.uuid4().hex[:8]
        inst = harness.Installation(self.nginx.url(list_name),
                                    novamend={"ShowWhenCheck": "1", "filethread": "1", "threadcount": "1",
                                              **(novamend or {})},
                                    application={"Application": "demoapp.exe"},
                                    brand_options=["--caption", caption] + list(brand_options))
        shutil.copyfile(harness.BIN / "demoapp.exe", inst.app_dir / "demoapp.exe")
        (inst.app_dir / "demoapp.ver").write_text("1.0")
        return inst, caption

    def test_default_mode_shows_the_download_moves_minimises_and_starts_the_application(self):
        inst, caption = self.installation()
        updater = harness.start([inst.exe])
        prober, record = probe(caption, "wait", "until", "10", "100", "drag", "40", "30", "click", "160", "watch")
        self.assertEqual(prober.wait(timeout=300), 0, records(record))
        updater.wait(timeout=60)
        lines = records(record)
        self.assertEqual({line[1]: tuple(map(int, line[2:])) for line in lines if line[0] == "control"}, PLACES)
        (x, y, width, height), (moved_x, moved_y, _, _) = [tuple(map(int, line[1:])) for line in lines
                                                          if line[0] == "window"]
        self.assertEqual((width, height), (500, 256))
        self.assertEqual((moved_x - x, moved_y - y), (40, 30))
        self.assertIn(["iconic", "1"], lines)
        # Read while the download ran: it only rose, through the middle, to the end.
        percents = [int(line[1].rstrip("%")) for line in lines if line[0] == "label"]
        self.assertEqual(percents, sorted(percents))
        self.assertTrue(any(10 < p < 100 for p in percents), percents)
        self.assertEqual(percents[-1], 100)
        self.assertEqual((inst.app_dir / "big.bin").read_bytes(), self.content)
        self.assertEqual((inst.app_dir / "demoapp.log").read_bytes(), b"started, version 1.0\r\n")

    def test_application_entry_mode_checks_in_the_window_asks_and_updates_in_a_second_one(self):
        inst, caption = self.installation()
        updater = harness.start([inst.exe, "/appenter"])
        prober, record = probe(caption, "wait")
        question = harness.answer_box(inst.name, "yes")
        self.assertEqual(updater.wait(timeout=120), 1)
        prober.wait(timeout=30)
        self.assertIn("window", [line[0] for line in records(record)])
        self.assertEqual(question, "1 updates found at the website,now to upgrade?")
        self.assertEqual((inst.app_dir / "big.bin").read_bytes(), self.content)
        self.assertEqual((inst.app_dir / "demoapp.log").read_bytes(), b"started, version 1.0\r\n")

    def test_a_locked_file_is_asked_about_until_the_user_cancels(self):
        inst, caption = self.installation()
        (inst.app_dir / "big.bin").write_bytes(b"old")
        holder_dir = harness.SCRATCH / uuid.uuid4().hex[:12]
        holder_dir.mkdir(parents=True)
        shutil.copyfile(harness.BIN / "demoapp.exe", holder_dir / "holder.exe")
        holder = harness.start([holder_dir / "holder.exe", "/stay",
                                "/hold=" + harness.windows_path(inst.app_dir / "big.bin")])
        updater = harness.start([inst.exe])
        try:
            # Retry while it is still held asks again; cancel counts it locked.
            first = harness.answer_box(inst.name, "retry", timeout_ms=120000)
            self.assertEqual(first, "Can't overwrite the file,Please close it.\n"
                             + harness.windows_path(inst.app_dir / "big.bin"))
            self.assertEqual(harness.answer_box(inst.name, "cancel", timeout_ms=60000), first)
            updater.wait(timeout=120)
            self.assertEqual((inst.app_dir / "big.bin").read_bytes(), b"old")
            self.assertIn("File is locked[" + harness.windows_path(inst.app_dir / "big.bin"), inst.log())
        finally:
            harness.kill_programs(holder_dir.name)

    def test_check_only_mode_with_a_vendors_pictures_one_of_them_broken(self):
        pictures = harness.SCRATCH / ("pictures-" + uuid.uuid4().hex[:8])
        pictures.mkdir(parents=True)
        # Sound blocks, but a code size no decoder takes: only the window finds out.
        (pictures / "background.gif").write_bytes(gif(500, 256, [[0]], code_size=12))
        (pictures / "bar.gif").write_bytes(gif(422, 10, [[int(i % 422 < 200) for i in range(4220)],
                                                         [int(i % 422 >= 200) for i in range(4220)]]))
        (pictures / "not_a_gif.png").write_bytes(b"\x89PNG\r\n\x1a\n")
        (pictures / "vendor.ini").write_text("[APPLICATION]\r\n")
        refused = harness.wine([harness.BIN / "novamend-tool.exe", "brand",
                                harness.windows_path(harness.BIN / "novamend.exe"),
                                harness.windows_path(pictures / "vendor.ini"), harness.windows_path(pictures / "out.exe"),
                                "--picture", "bar=" + harness.windows_path(pictures / "not_a_gif.png")])
        self.assertEqual(refused.returncode, 1)
        self.assertIn(b"not_a_gif.png is not a GIF picture", refused.stderr)
        self.assertFalse((pictures / "out.exe").exists())

        inst, caption = self.installation("--pictures", harness.windows_path(pictures), list_name="padded.xml")
        prober, record = probe(caption, "wait")
        self.assertEqual(inst.exit_code("/checkforupdates"), 1)
        prober.wait(timeout=30)
        shown = {line[1] for line in records(record) if line[0] == "control"}
        self.assertEqual(shown, {"165", "167", "170", "160"})
        self.assertIn("background picture could not be loaded", inst.log())

    def test_tray_mode_with_nothing_to_update_and_no_check_span_ends_unseen(self):
        inst, _ = self.installation(list_name="empty.xml", novamend={"CheckTmSpan": ""})
        updater = inst.start("/tryicon")
        # The notification window's caption is the application's name.
        prober, record = probe(inst.name, "absent", "15000")
        self.assertEqual(updater.wait(timeout=60), 0)
        prober.wait(timeout=60)
        self.assertIn(["shown", "0"], records(record))
        self.assertIn("Find nothing to update.", inst.log())

    def test_tray_mode_pops_up_counts_down_and_updates_in_the_progress_window(self):
        inst, caption = self.installation(novamend={"CheckTmSpan": ""})
        updater = inst.start("/tryicon")
        # The mouse on the "Update" link (two thirds across, 32 pixels above the bottom) turns it blue.
        prober, record = probe(inst.name, "wait", "hover", "160", "115", "look", "146", "105", "200", "125",
                               "hover", "5", "60", "hidden")
        progress, progress_record = probe(caption, "wait")
        self.assertEqual(prober.wait(timeout=200), 0, records(record))
        self.assertEqual(progress.wait(timeout=100), 0, records(progress_record))
        updater.wait(timeout=120)
        lines = records(record)
        screen = [int(v) for v in lines[0][1:]]
        x, y, width, height = [int(v) for v in next(line for line in lines if line[0] == "window")[1:]]
        self.assertEqual((width, height), (219, 141))
        self.assertEqual((screen[0] - x - width, screen[1] - y - height), (5, 45))
        self.assertGreater(int(next(line for line in lines if line[0] == "look")[1]), 20)
        self.assertIn(["hidden"], lines)
        self.assertEqual((inst.app_dir / "big.bin").read_bytes(), self.content)
        self.assertIn("Update completed,done 1 files", inst.log())

    def test_exit_from_the_tray_menu_ends_the_mode_and_removes_its_icon(self):
        inst, _ = self.installation(novamend={"CheckTmSpan": "5"})
        updater = inst.start("/tryicon")
        prober, record = probe(inst.name, "wait", "traymenu")
        self.assertEqual(prober.wait(timeout=120), 0, records(record))
        self.assertEqual(records(record)[-2:], [["tray", "1"], ["menu", "1"]])
        updater.wait(timeout=60)
        empty, empty_record = probe("-", "trayempty", "10000")
        empty.wait(timeout=60)
        self.assertIn(["trayempty", "1"], records(empty_record))
        self.assertFalse((inst.app_dir / "big.bin").exists())

    def test_a_missing_dotnet_framework_is_downloaded_in_its_dialog_and_its_installer_started(self):
        site = Path(tempfile.mkdtemp(prefix="dotnet-site-"))
        # The installer stands in as demoapp: it notes in demoapp.log beside itself that it ran.
        installer = (harness.BIN / "demoapp.exe").read_bytes()
        (site / "empty.xml").write_text(harness.list_xml([]))
        framework = harness.DRIVE_C / "windows" / "Microsoft.NET" / "Framework" / "v3.5.test"
        try:
            with harness.Nginx(site) as nginx:
                # The four generic keys win over the legacy ones; the address is the list's base.
                inst = harness.Installation(nginx.url("empty.xml"), novamend={"DotNetFx": "3.5", "dotnetfx20": "1"})
                updater = inst.start()
                # Not yet published: the download fails and "Download" tries again.
                prober, record = probe(inst.name, "wait", "text", "1", "Download", "click", "1", "text", "1", "Download")
                self.assertEqual(prober.wait(timeout=120), 0, records(record))
                (site / "dotnetfx35.exe").write_bytes(installer)
                prober, record = probe(inst.name, "click", "1", "text", "1", "Install", "click", "1", "gone")
                self.assertEqual(prober.wait(timeout=120), 0, records(record))
                self.assertEqual(updater.wait(timeout=60), 0)
                self.assertEqual((inst.work_dir / "dotnetfx35.exe").read_bytes(), installer)
                self.assertTrue(harness.wait_for(lambda: (inst.work_dir / "demoapp.log").exists(), timeout=30))
                self.assertIn("GET /dotnetfx35.exe", nginx.access_log())

                framework.mkdir(parents=True)
                updater = inst.start()
                prober, record = probe(inst.name, "absent", "8000")
                self.assertEqual(updater.wait(timeout=60), 0)
                prober.wait(timeout=60)
                self.assertIn(["shown", "0"], records(record))
        finally:
            shutil.rmtree(site, ignore_errors=True)
            shutil.rmtree(framework, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
