"""The application-entry modes: the question after the check, its answers,
and the report of a main program that is missing."""
import shutil
import tempfile
import unittest
from pathlib import Path

import harness


class ApplicationEntryTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.site = Path(tempfile.mkdtemp(prefix="appenter-site-"))
        notes = "<description>Faster start.</description><description>" + "x" * 700 + "</description>"
        (cls.site / "novamend.xml").write_text(harness.list_xml([{"path": "a.txt", "ver": "2"}], extra=notes))
        (cls.site / "a.txt").write_text("a")
        cls.nginx = harness.Nginx(cls.site)

    @classmethod
    def tearDownClass(cls):
        cls.nginx.stop()
        shutil.rmtree(cls.site, ignore_errors=True)

    def test_question_counts_the_files_and_cancel_starts_nothing(self):
        inst = harness.Installation(self.nginx.url("novamend.xml"))
        (inst.app_dir / "demoapp.ver").write_text("1.0")
        updater = harness.start([inst.exe, "/appenter"])
        question = harness.answer_box(inst.name, "cancel")
        updater.wait(timeout=60)
        # The release notes follow, in the list's words, cut to what a box shows well.
        self.assertEqual(question, "1 updates found at the website,now to upgrade?\r\n\r\nFaster start.\r\n"
                         + "x" * 585 + "\u2026")
        self.assertEqual(updater.returncode, 1)

    def test_no_starts_the_main_program_and_reports_it_missing(self):
        inst = harness.Installation(self.nginx.url("novamend.xml"))
        updater = harness.start([inst.exe, "/appenter"])
        self.assertIsNotNone(harness.answer_box(inst.name, "no"))
        missing = harness.answer_box(inst.name, "ok")
        updater.wait(timeout=60)
        self.assertEqual(missing, "Can't find the file that you set Application in novamend.ini file.\r\n"
                         + harness.windows_path(inst.app_dir / "app.exe"))

    def test_failed_check_starts_the_main_program(self):
        inst = harness.Installation(f"http://127.0.0.1:{harness.free_port()}/novamend.xml",
                                    novamend={"TimeOut": "20"}, application={"Application": "demoapp.exe"})
        shutil.copyfile(harness.BIN / "demoapp.exe", inst.app_dir / "demoapp.exe")
        (inst.app_dir / "demoapp.ver").write_text("1.0")
        self.assertEqual(inst.run("/appenternoprompt").returncode, harness.STATUS_FAILED)
        log = inst.app_dir / "demoapp.log"
        for _ in range(100):
            if log.exists():
                break
            __import__("time").sleep(0.1)
        self.assertEqual(log.read_bytes(), b"started, version 1.0\r\n")

    def test_missing_application_setting_is_reported(self):
        inst = harness.Installation(self.nginx.url("novamend.xml"), application={"Application": ""})
        updater = harness.start([inst.exe, "/appenter"])
        text = harness.answer_box(inst.name, "ok")
        updater.wait(timeout=60)
        self.assertEqual(text, "At AppEnter mode,You must set Application in novamend.ini file.")


if __name__ == "__main__":
    unittest.main()
