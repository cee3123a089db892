"""The update cycle as a host application follows it: states, log lines and
properties arrive in order; a paused host holds the cycle between steps; a
host that asked to end the cycle with its window ends it by closing; the
programs of [UpdateEvent] and [UpdateEventWaitClose] start at their states."""
import shutil
import tempfile
import time
import unittest
from pathlib import Path

import harness


class HostFollowsTheCycleTest(unittest.TestCase):
    def test_unreachable_server_gives_states_log_lines_and_properties(self):
        host = harness.TestHost("--needmsg")
        try:
            inst = harness.Installation(f"http://127.0.0.1:{harness.free_port()}/novamend.xml",
                                        novamend={"TimeOut": "20"})
            result = inst.run("/silence", host.handle)
            self.assertEqual(result.returncode, 0)
            host.command("props")
            time.sleep(0.5)
            self.assertEqual(host.states(), [0, 1, 2, 13])
            logs = host.texts(1975)
            self.assertTrue(any(line.startswith("download:http://127.0.0.1:") for line in logs), logs)
            self.assertTrue(any("error when download the list file." in line for line in logs), logs)
            # Paths arrive relative to the application directory.
            app_dir = harness.windows_path(inst.app_dir) + "\\"
            self.assertFalse(any(app_dir.lower() in line.lower() for line in logs))
            self.assertIn(["props", "13", "0"], host.lines())
            # The log file has the same lines.
            self.assertIn("error when download the list file.", inst.log())
        finally:
            host.close()


class CycleWithFilesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.site = Path(tempfile.mkdtemp(prefix="cycle-site-"))
        (cls.site / "a.txt").write_text("new a")
        (cls.site / "novamend.xml").write_text(harness.list_xml([{"path": "a.txt", "ver": "2"}]))
        cls.nginx = harness.Nginx(cls.site)

    @classmethod
    def tearDownClass(cls):
        cls.nginx.stop()
        shutil.rmtree(cls.site, ignore_errors=True)

    def test_paused_host_holds_the_cycle_between_steps(self):
        host = harness.TestHost("--needmsg", "--paused")
        try:
            inst = harness.Installation(self.nginx.url("novamend.xml"))
            updater = harness.start([inst.exe, "/silence", host.handle])
            deadline = time.time() + 60
            while 3 not in host.states() and time.time() < deadline:
                time.sleep(0.1)
            time.sleep(2)
            # Checked, then held: nothing of the download yet.
            self.assertEqual(host.states(), [0, 1, 3])
            self.assertIsNone(updater.poll())
            host.command("resume")
            updater.wait(timeout=120)
            # Then the whole cycle, to the file in place.
            self.assertEqual(host.states(), [0, 1, 3, 4, 6, 7, 9, 10, 12, 13])
            self.assertEqual((inst.app_dir / "a.txt").read_text(), "new a")
        finally:
            host.close()

    def test_host_that_asked_ends_the_cycle_by_closing(self):
        host = harness.TestHost("--needmsg", "--paused", "--exitwhenwndkilled")
        inst = harness.Installation(self.nginx.url("novamend.xml"))
        updater = harness.start([inst.exe, "/silence", host.handle])
        deadline = time.time() + 60
        while 3 not in host.states() and time.time() < deadline:
            time.sleep(0.1)
        states_at_close = host.states()
        host.close()
        updater.wait(timeout=30)
        self.assertEqual(states_at_close, [0, 1, 3])
        # Abandoned: nothing was downloaded or installed.
        self.assertFalse((inst.work_dir / "a.txt_").exists())
        self.assertFalse((inst.app_dir / "a.txt").exists())

    def test_event_programs_start_at_their_states(self):
        record = harness.SCRATCH / ("events-" + harness.new_name()[:8] + ".txt")
        recorder = harness.windows_path(harness.BIN / "record_start.exe")
        target = harness.windows_path(record)
        inst = harness.Installation(
            self.nginx.url("novamend.xml"),
            UpdateEvent={"UpdateCheckRemote": f'"{recorder}" {target} checkremote'},
            UpdateEventWaitClose={"UpdateEnd": f'"{recorder}" {target} --sleep=1500 end'})
        # The exit code counts the one file that needed an update.
        self.assertEqual(inst.run("/silence").returncode, 1)
        lines = [line.split("\t") for line in record.read_text().splitlines()]
        starts = [line[-1] for line in lines if line[0] == "start"]
        self.assertIn("checkremote", starts)
        self.assertIn("--sleep=1500 end", starts)
        # The waiting kind had ended before the updater did.
        self.assertEqual(lines[-1][0], "end")


if __name__ == "__main__":
    unittest.main()
