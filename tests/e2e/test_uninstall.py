"""Uninstall: the files the kept list names go, with the folders they leave
empty and their shortcuts; the application directory and other files stay."""
import unittest

import harness


class UninstallTest(unittest.TestCase):
    def test_removes_listed_files_empty_folders_and_bookkeeping(self):
        inst = harness.Installation("http://127.0.0.1:9/novamend.xml")
        app = inst.app_dir
        for rel in ("app.exe", "bin/tool.dll", "bin/deep/x.dat", "shared/keep.dat", "links/app.lnk"):
            (app / rel).parent.mkdir(parents=True, exist_ok=True)
            (app / rel).write_text(rel)
        (app / "shared" / "mine.txt").write_text("not in the list")
        (app / "__oldfiles.lst").write_text("")
        (app / "novamend.log").write_text("old log")
        inst.install_list(harness.list_xml([
            {"path": "app.exe", "ver": "1", "shortcut": "links\\app"},
            {"path": "bin\\tool.dll", "ver": "1"}, {"path": "bin\\deep\\x.dat", "ver": "1"},
            {"path": "shared\\keep.dat", "ver": "1"}]))
        inst.run("/uninstall", timeout=60)
        for rel in ("app.exe", "bin", "links", "shared/keep.dat", "novamend.xml", "__oldfiles.lst", "novamend.log"):
            self.assertFalse((app / rel).exists(), rel)
        self.assertEqual((app / "shared" / "mine.txt").read_text(), "not in the list")
        self.assertTrue(app.is_dir())


if __name__ == "__main__":
    unittest.main()
