"""The race between mirrors of the list: the first mirror to deliver wins,
its address becomes the list base, and the slower mirror's file is deleted."""
import shutil
import sys
import tempfile
import unittest
from pathlib import Path

import harness

sys.path.insert(0, str(harness.ROOT / "tests" / "tools"))
import fault_server  # noqa: E402


class MirrorRaceTest(unittest.TestCase):
    def test_fast_mirror_wins_and_the_slow_ones_file_is_deleted(self):
        site = Path(tempfile.mkdtemp(prefix="mirrors-"))
        for mirror, version in (("slow", "1"), ("fast", "2")):
            (site / mirror).mkdir()
            (site / mirror / "novamend.xml").write_text(harness.list_xml([{"path": "app.exe", "ver": version}]))
        server = fault_server.FaultServer(str(site)).start()
        try:
            server.set_fault("/slow/novamend.xml", latency=1.5)
            app_dir = harness.SCRATCH / harness.new_name()
            app_dir.mkdir(parents=True)
            list_url = server.url("novamend.xml")
            (app_dir / "novamend.ini").write_text(harness.ini_text({
                "Novamend": {"TempAppPath": "1", "MultCheckTimeOut": "60"},
                "UPDATEINFO": {"ListURL": list_url}}))
            record = app_dir / "record.txt"
            harness.wine([harness.BIN / "check_probe.exe", harness.windows_path(app_dir),
                          harness.windows_path(record), 4000,
                          server.url("slow/novamend.xml"), server.url("fast/novamend.xml")], check=True)
            self.assertEqual(record.read_text(), f"result=1 files=1 base={server.url('fast')}")
            local_list = app_dir / (harness.list_digest(list_url + "9999999999") + ".xml")
            self.assertIn('ver="2"', local_list.read_text())
            # The slow mirror did deliver, later, and its file went away.
            self.assertEqual(len(server.requests("/slow/novamend.xml")) > 0, True)
            self.assertFalse(local_list.with_name(local_list.name + "0").exists())
            self.assertFalse(local_list.with_name(local_list.name + "1").exists())
        finally:
            server.stop()
            shutil.rmtree(site, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
