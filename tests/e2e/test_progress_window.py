"""The progress window under Xvfb, driven by the real cycle against nginx:
where its controls sit on the pictures, a percent that only rises, moving
and minimising it while a slow download runs, and its end in each mode. The
caption and pictures come from the branding tool; a picture the window
cannot load is left out and the update runs all the same."""
import os
import shutil
import struct
import unittest
import uuid

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


class ProgressWindowTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.site, cls.content = harness.one_file_site("window-site-")
        # A list that takes a few seconds to arrive, for a window that shows only while checking.
        (cls.site / "padded.xml").write_text(harness.list_xml([{"path": "big.bin", "ver": "2"}],
                                                              extra="<!--" + "x" * 120_000 + "-->"))
        # Four small files before a large one, every size in the list. (Wine
        # hands a download over in blocks of 256 KiB: the large file has many.)
        cls.large = os.urandom(5 << 20)
        files = {**{f"small{i}.txt": b"x" * (i + 1) for i in range(4)}, "large.bin": cls.large}
        for name, data in files.items():
            (cls.site / name).write_bytes(data)
        (cls.site / "sized.xml").write_text(harness.list_xml(
            [{"path": name, "ver": "2", "size": str(len(data))} for name, data in files.items()]))
        # Slow enough to see the window in the middle of the download.
        cls.nginx = harness.Nginx(cls.site, extra="limit_rate 40k; location = /large.bin { limit_rate 1m; }")

    @classmethod
    def tearDownClass(cls):
        cls.nginx.stop()
        shutil.rmtree(cls.site, ignore_errors=True)

    def installation(self, *brand_options, list_name="novamend.xml"):
        caption = "Novamend window " + uuid.uuid4().hex[:8]
        inst = harness.Installation(self.nginx.url(list_name),
                                    novamend={"ShowWhenCheck": "1", "filethread": "1", "threadcount": "1"},
                                    application={"Application": "demoapp.exe"},
                                    brand_options=["--caption", caption] + list(brand_options))
        shutil.copyfile(harness.BIN / "demoapp.exe", inst.app_dir / "demoapp.exe")
        (inst.app_dir / "demoapp.ver").write_text("1.0")
        return inst, caption

    def test_default_mode_shows_the_download_moves_minimises_and_starts_the_application(self):
        inst, caption = self.installation(list_name="sized.xml")
        updater = harness.start([inst.exe])
        prober, record = harness.window_probe(caption, "wait", "until", "10", "100", "drag", "40", "30",
                                              "click", "160", "watch")
        self.assertEqual(prober.wait(timeout=300), 0, harness.probe_records(record))
        updater.wait(timeout=60)
        lines = harness.probe_records(record)
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
        # By bytes: the four small files finished do not take it to 82%, the
        # large one takes it through the values below.
        self.assertGreaterEqual(len({p for p in percents if 10 < p < 82}), 6, percents)
        self.assertEqual(percents[-1], 100)
        self.assertEqual((inst.app_dir / "large.bin").read_bytes(), self.large)
        self.assertEqual((inst.app_dir / "demoapp.log").read_bytes(), b"started, version 1.0\r\n")

    def test_application_entry_mode_checks_in_the_window_asks_and_updates_in_a_second_one(self):
        inst, caption = self.installation()
        updater = harness.start([inst.exe, "/appenter"])
        prober, record = harness.window_probe(caption, "wait")
        question = harness.answer_box(inst.name, "yes")
        self.assertEqual(updater.wait(timeout=120), 1)
        prober.wait(timeout=30)
        self.assertIn("window", [line[0] for line in harness.probe_records(record)])
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
            # Before the window closes the user is told the update did not happen, and why.
            told = harness.answer_box(inst.name, "ok", timeout_ms=60000)
            self.assertTrue(told.startswith("The update failed. The application is as it was.\r\n\r\n"), told)
            self.assertIn(harness.windows_path(inst.app_dir / "big.bin"), told)
            updater.wait(timeout=120)
            self.assertEqual((inst.app_dir / "big.bin").read_bytes(), b"old")
            self.assertIn("File is locked[" + harness.windows_path(inst.app_dir / "big.bin"), inst.log())
        finally:
            harness.kill_programs(holder_dir.name)

    def test_a_failed_check_is_told_before_the_old_version_starts(self):
        inst, _ = self.installation(list_name="missing.xml")
        updater = harness.start([inst.exe])
        told = harness.answer_box(inst.name, "ok", timeout_ms=120000)
        self.assertEqual(updater.wait(timeout=120), harness.STATUS_FAILED)
        self.assertTrue(told.startswith("The check for updates failed.\r\n\r\n"), told)
        self.assertIn("HTTP 404", told)
        self.assertIn(self.nginx.url("missing.xml") + " (HTTP 404", inst.log())
        # Told, the user gets the version that is there.
        self.assertTrue(harness.wait_for(lambda: (inst.app_dir / "demoapp.log").exists(), timeout=30))

    def test_check_only_mode_with_a_vendors_pictures_one_of_them_broken(self):
        pictures = harness.SCRATCH / ("pictures-" + uuid.uuid4().hex[:8])
        pictures.mkdir(parents=True)
        # Sound blocks, but a code size no decoder takes: only the window finds out.
        (pictures / "background.gif").write_bytes(gif(500, 256, [[0]], code_size=12))
        (pictures / "bar.gif").write_bytes(gif(422, 10, [[int(i % 422 < 200) for i in range(4220)],
                                                         [int(i % 422 >= 200) for i in range(4220)]]))
        (pictures / "not_a_gif.png").write_bytes(b"\x89PNG\r\n\x1a\n")
        (pictures / "vendor.ini").write_text("[UPDATEINFO]\r\nListURL=http://127.0.0.1:9/novamend.xml\r\n")
        refused = harness.wine([harness.BIN / "novamend-tool.exe", "brand",
                                harness.windows_path(harness.BIN / "novamend.exe"),
                                harness.windows_path(pictures / "vendor.ini"), harness.windows_path(pictures / "out.exe"),
                                "--picture", "bar=" + harness.windows_path(pictures / "not_a_gif.png")])
        self.assertEqual(refused.returncode, 1)
        self.assertIn(b"not_a_gif.png is not a GIF picture", refused.stderr)
        self.assertFalse((pictures / "out.exe").exists())

        inst, caption = self.installation("--pictures", harness.windows_path(pictures), list_name="padded.xml")
        prober, record = harness.window_probe(caption, "wait")
        self.assertEqual(inst.exit_code("/checkforupdates"), 1)
        prober.wait(timeout=30)
        shown = {line[1] for line in harness.probe_records(record) if line[0] == "control"}
        self.assertEqual(shown, {"165", "167", "170", "160"})
        self.assertIn("background picture could not be loaded", inst.log())


if __name__ == "__main__":
    unittest.main()
