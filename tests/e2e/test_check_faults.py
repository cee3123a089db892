"""The check against a server that misbehaves: each ends the check in its
error state with the list address in the log, within the check's budget."""
import shutil
import sys
import tempfile
import time
import unittest
from pathlib import Path

import harness

sys.path.insert(0, str(harness.ROOT / "tests" / "tools"))
import fault_server  # noqa: E402


class CheckAgainstFaultsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.site = Path(tempfile.mkdtemp(prefix="check-faults-"))
        (cls.site / "novamend.xml").write_text(harness.list_xml([{"path": "a.txt", "ver": "1"}]))
        cls.server = fault_server.FaultServer(str(cls.site)).start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.site, ignore_errors=True)

    def check(self, **fault):
        self.server.reset()
        self.server.set_fault("/novamend.xml", **fault)
        self.server.set_fault("/novamend.xml._.zip", **fault)
        inst = harness.Installation(self.server.url("novamend.xml"), novamend={"TimeOut": "30"})
        started = time.monotonic()
        code = inst.run("/checkforupdates", timeout=120).returncode
        return code, time.monotonic() - started, inst.log()

    def test_server_errors_redirect_loops_and_closed_connections(self):
        for fault in ({"status": 500}, {"close_at_once": True},
                      {"status": 302, "location": "/novamend.xml"}):
            code, _, log = self.check(**fault)
            self.assertEqual(code, 0, fault)
            self.assertIn("error when download the list file.", log, fault)
            self.assertIn(self.server.url("novamend.xml"), log, fault)

    def test_stalled_server_ends_within_the_budget(self):
        # TimeOut 30 is about 3 s of polling; the server would stall for 60.
        code, elapsed, log = self.check(stall={"after": 0, "seconds": 60})
        self.assertEqual(code, 0)
        self.assertIn("error when download the list file.", log)
        self.assertLess(elapsed, 45)


if __name__ == "__main__":
    unittest.main()
