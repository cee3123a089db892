"""The tray mode and the .NET Framework dialog under Xvfb, against nginx.
The tray: its notification window stays hidden while there is nothing to
tell, pops up in the bottom right corner when files are found, counts down
and runs the update in the progress window by itself, checks again after
CheckTmSpan minutes, and "Exit" in the icon's menu ends it. The .NET
Framework dialog: a required version the prefix lacks is fetched through the
segment view and its installer started; a present one asks nothing."""
import os
import shutil
import tempfile
import unittest
import uuid
from pathlib import Path

import harness

probe, records = harness.window_probe, harness.probe_records


class TrayModeTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.site, cls.content = harness.one_file_site("tray-site-")
        (cls.site / "empty.xml").write_text(harness.list_xml([]))
        cls.nginx = harness.Nginx(cls.site)

    @classmethod
    def tearDownClass(cls):
        cls.nginx.stop()
        shutil.rmtree(cls.site, ignore_errors=True)

    def installation(self, check_span, list_name="novamend.xml"):
        caption = "Novamend window " + uuid.uuid4().hex[:8]
        inst = harness.Installation(self.nginx.url(list_name), novamend={"CheckTmSpan": check_span},
                                    brand_options=["--caption", caption])
        return inst, caption

    def test_nothing_to_update_and_no_check_span_ends_unseen(self):
        inst, _ = self.installation("", list_name="empty.xml")
        updater = inst.start("/tryicon")
        # The notification window's caption is the application's name.
        prober, record = probe(inst.name, "absent", "15000")
        self.assertEqual(updater.wait(timeout=60), 0)
        prober.wait(timeout=60)
        self.assertIn(["shown", "0"], records(record))
        self.assertIn("Find nothing to update.", inst.log())

    def test_found_files_pop_up_count_down_and_update_in_the_progress_window(self):
        inst, caption = self.installation("")
        updater = inst.start("/tryicon")
        # The mouse on the "Update" link (two thirds across, 32 pixels above the bottom) turns it blue.
        prober, record = probe(inst.name, "wait", "hover", "160", "115", "look", "146", "105", "200", "125",
                               "hover", "5", "60", "hidden")
        progress, progress_record = probe(caption, "wait")
        self.assertEqual(prober.wait(timeout=200), 0, records(record))
        self.assertEqual(progress.wait(timeout=100), 0, records(progress_record))
        # With no check span the updater ends after the update.
        self.assertEqual(updater.wait(timeout=120), 1)
        lines = records(record)
        screen = [int(v) for v in lines[0][1:]]
        x, y, width, height = [int(v) for v in next(line for line in lines if line[0] == "window")[1:]]
        self.assertEqual((width, height), (219, 141))
        self.assertEqual((screen[0] - x - width, screen[1] - y - height), (5, 45))
        self.assertGreater(int(next(line for line in lines if line[0] == "look")[1]), 20)
        self.assertIn(["hidden"], lines)
        self.assertEqual((inst.app_dir / "big.bin").read_bytes(), self.content)
        self.assertIn("Update completed,done 1 files", inst.log())

    def test_a_second_release_is_found_a_check_span_later_and_exit_removes_the_icon(self):
        # A release of its own: this scenario publishes the next one.
        release = self.site / uuid.uuid4().hex[:8]
        release.mkdir()
        (release / "big.bin").write_bytes(self.content)
        (release / "novamend.xml").write_text(harness.list_xml([{"path": "big.bin", "ver": "2"}]))
        inst, _ = self.installation("1", list_name=release.name + "/novamend.xml")
        updater = inst.start("/tryicon")
        # Found, counted down, updated, and shown again with the outcome.
        prober, record = probe(inst.name, "wait", "hidden", "wait")
        self.assertEqual(prober.wait(timeout=200), 0, records(record))
        self.assertEqual((inst.app_dir / "big.bin").read_bytes(), self.content)

        second = os.urandom(200_000)
        (release / "big.bin").write_bytes(second)
        (release / "novamend.xml").write_text(harness.list_xml([{"path": "big.bin", "ver": "3"}]))
        # The next check comes a minute after the update: the same cycle again in the same process.
        prober, record = probe(inst.name, "hidden", "wait", "traymenu")
        self.assertEqual(prober.wait(timeout=300), 0, records(record))
        self.assertEqual(records(record)[-2:], [["tray", "1"], ["menu", "1"]])
        updater.wait(timeout=60)
        self.assertEqual((inst.app_dir / "big.bin").read_bytes(), second)
        self.assertEqual(inst.log().count("Update completed,done 1 files"), 2)
        empty, empty_record = probe("-", "trayempty", "10000")
        empty.wait(timeout=60)
        self.assertIn(["trayempty", "1"], records(empty_record))


class DotNetFrameworkTest(unittest.TestCase):
    def test_a_missing_version_is_downloaded_in_its_dialog_and_its_installer_started(self):
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
                prober, record = probe(inst.name, "wait", "text", "1", "Download", "click", "1",
                                       "text", "1", "Download")
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
