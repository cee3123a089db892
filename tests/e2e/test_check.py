"""The check: the list fetched from a real web server, compared with the copy
kept from the last update; the exit code tells how many files need work."""
import shutil
import tempfile
import unittest
from pathlib import Path

import harness

FILES = [{"path": "app.exe", "ver": "2"}, {"path": "bin\\a.dll", "ver": "2"}, {"path": "readme.txt", "ver": "1"},
         {"path": "new.txt", "ver": "1"}, {"path": "nover.txt", "ver": ""}]
INSTALLED = [{"path": "app.exe", "ver": "1"}, {"path": "bin\\a.dll", "ver": "2"}, {"path": "readme.txt", "ver": "1"},
             {"path": "Bin\\A.dll", "ver": "9"}]


class CheckTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.site = Path(tempfile.mkdtemp(prefix="site-"))
        (cls.site / "novamend.xml").write_text(harness.list_xml(FILES))
        (cls.site / "same.xml").write_text(harness.list_xml(INSTALLED[:3]))
        (cls.site / "version.htm").write_text("<html><ver>2.0</ver></html>")
        (cls.site / "garbage.xml").write_text("<update><file path='x' ver='1'")
        cls.nginx = harness.Nginx(cls.site)

    @classmethod
    def tearDownClass(cls):
        cls.nginx.stop()
        shutil.rmtree(cls.site, ignore_errors=True)

    def test_exit_code_counts_the_changed_files(self):
        inst = harness.Installation(self.nginx.url("novamend.xml"))
        inst.install_list(harness.list_xml(INSTALLED))
        # app.exe changed, new.txt is new; a.dll and readme.txt unchanged; no version, no update.
        self.assertEqual(inst.run("/checkforupdates").returncode, 2)
        self.assertIn("/novamend.xml", self.nginx.access_log())
        # The fetched list is kept beside the local list file for a later quick check.
        self.assertTrue(inst.work_dir.with_name(inst.work_dir.name + ".xml.xml").exists())

    def test_missing_comparison_copy_marks_every_entry_with_a_version(self):
        inst = harness.Installation(self.nginx.url("novamend.xml"))
        self.assertEqual(inst.run("/checkforupdates").returncode, 4)

    def test_nothing_to_do(self):
        inst = harness.Installation(self.nginx.url("same.xml"))
        inst.install_list(harness.list_xml(INSTALLED))
        self.assertEqual(inst.run("/checkforupdates").returncode, 0)

    def test_list_version_differing_from_the_installed_one(self):
        inst = harness.Installation(self.nginx.url("version.htm"),
                                    application={"CheckVerNumber": "1", "Ver": "1.0"})
        self.assertEqual(inst.exit_code("/checkforupdates"), 2147483647)
        same = harness.Installation(self.nginx.url("version.htm"),
                                    application={"CheckVerNumber": "1", "Ver": "2.0"})
        self.assertEqual(same.run("/checkforupdates").returncode, 0)

    def test_unreachable_servers_fail_and_bad_lists_find_nothing(self):
        # A failed check is told apart from "nothing to update".
        for url, code in ((f"http://127.0.0.1:{harness.free_port()}/novamend.xml", harness.EXIT_FAILED),
                          (self.nginx.url("missing.xml"), harness.EXIT_FAILED), (self.nginx.url("garbage.xml"), 0)):
            inst = harness.Installation(url, novamend={"TimeOut": "30"})
            self.assertEqual(inst.exit_code("/checkforupdates"), code, url)
        # An address no request can reach is refused before any attempt, with why.
        url = self.nginx.url("novamend.xml")
        inst = harness.Installation(url)
        harness.damage_embedded_setting(inst.exe, url, url.replace("http://", ""))
        since = len(self.nginx.access_log())
        self.assertEqual(inst.exit_code("/checkforupdates"), harness.EXIT_FAILED)
        self.assertIn("not an http:// or https:// address", inst.log())
        self.assertEqual(self.nginx.access_log()[since:], "")

    def test_quick_mode_compares_the_list_an_earlier_run_left(self):
        inst = harness.Installation(self.nginx.url("novamend.xml"), novamend={"QuickCheck": "1"})
        inst.install_list(harness.list_xml(INSTALLED))
        local_list = inst.work_dir.with_name(inst.work_dir.name + ".xml")
        local_list.write_text(harness.list_xml([{"path": "app.exe", "ver": "3"}]))
        before = self.nginx.access_log().count("GET /novamend.xml")
        self.assertEqual(inst.run("/checkforupdates").returncode, 1)
        self.assertEqual(self.nginx.access_log().count("GET /novamend.xml"), before)

    def test_lost_file_comes_back_but_never_a_delete_entry(self):
        site_list = [{"path": "kept.txt", "ver": "1"}, {"path": "gone.txt", "ver": "1"},
                     {"path": "old.txt", "ver": "1", "oper": "del"}]
        (self.site / "lost.xml").write_text(harness.list_xml(site_list))
        inst = harness.Installation(self.nginx.url("lost.xml"), novamend={"CheckLostFile": "1"})
        inst.install_list(harness.list_xml(site_list))
        (inst.app_dir / "kept.txt").write_text("here")
        self.assertEqual(inst.run("/checkforupdates").returncode, 1)


if __name__ == "__main__":
    unittest.main()
