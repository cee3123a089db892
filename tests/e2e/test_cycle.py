"""The update cycle as a host application follows it, through the example
host of examples/host: states, log lines, counters, the description and the
bytes of each file arrive in the documented order; a paused host holds the
cycle between steps; a host that asked to end the cycle with its window ends
it by closing, and one that did not leaves it running; the programs of
[UpdateEvent] and [UpdateEventWaitClose] start at their states; the
background rate cap holds over all files and connections of an unattended
update, and a visible update ignores it."""
import os
import shutil
import sys
import tempfile
import time
import unittest
from pathlib import Path

import harness

sys.path.insert(0, str(harness.ROOT / "tests" / "tools"))
import fault_server  # noqa: E402


class HostFollowsTheCycleTest(unittest.TestCase):
    def test_unreachable_server_gives_states_log_lines_and_properties(self):
        host = harness.HostExample()
        try:
            inst = harness.Installation(f"http://127.0.0.1:{harness.free_port()}/novamend.xml",
                                        novamend={"TimeOut": "20"})
            result = inst.run("/silence", host.handle)
            self.assertEqual(result.returncode, harness.STATUS_FAILED)
            host.close()
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


FILES = {"app.dll": os.urandom(300_000), "data/strings.txt": os.urandom(7_000), "readme.txt": b"version 2"}
DESCRIPTION = "Release 2.0\r\nFaster start."


class CycleWithFilesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.site = Path(tempfile.mkdtemp(prefix="cycle-site-"))
        for path, data in FILES.items():
            (cls.site / path).parent.mkdir(parents=True, exist_ok=True)
            (cls.site / path).write_bytes(data)
        paragraphs = "".join(f"<description>{text}</description>" for text in DESCRIPTION.split("\r\n"))
        (cls.site / "novamend.xml").write_text(
            harness.list_xml([{"path": path, "ver": "2"} for path in FILES], extra=paragraphs))
        cls.nginx = harness.Nginx(cls.site)

    @classmethod
    def tearDownClass(cls):
        cls.nginx.stop()
        shutil.rmtree(cls.site, ignore_errors=True)

    def host_and_installation(self):
        inst = harness.Installation(self.nginx.url("novamend.xml"))
        return harness.HostExample(updater=inst.exe), inst

    def assert_installed(self, inst):
        for path, data in FILES.items():
            self.assertEqual((inst.app_dir / path).read_bytes(), data, path)

    def test_whole_update_arrives_as_documented(self):
        host, inst = self.host_and_installation()
        try:
            host.press("IDC_START")
            self.assertTrue(harness.wait_for(lambda: host.exit_code() is not None, timeout=180), host.lines())
            lines = host.lines()
            self.assertEqual(host.states(), [0, 1, 3, 4, 6, 7, 9, 10, 12, 13])
            self.assertEqual({line[2] for line in lines if line[0] == "1974"}, {"0", "3"})  # 0 files until checked
            self.assertEqual(host.texts(1977), [DESCRIPTION.replace("\r\n", "\\r\\n") + "\\r\\n"])
            logs = host.texts(1975)
            self.assertIn("Found 3 files need to update...", logs)
            for path in FILES:
                self.assertIn(f"done[{path}]", logs)
            # Messages in their order: the description and the count before
            # the checked state, the downloads' messages between 4 and 6.
            order = [(line[0], line[1]) if line[0] == "1974" else (line[0],) for line in lines]
            self.assertLess(order.index(("1977",)), order.index(("1974", "3")))
            download = order[order.index(("1974", "4")):order.index(("1974", "6"))]
            self.assertIn(("1976",), download)
            self.assertIn(("1978",), download)
            self.assertNotIn(("1978",), order[order.index(("1974", "6")):])
            # The counter rises to the number of files; the bytes of each file,
            # and of the list before them, rise to its size.
            counters = [(int(line[1]), int(line[2])) for line in lines if line[0] == "1976"]
            self.assertEqual(counters, sorted(counters))
            self.assertEqual(counters[-1], (3, 3))
            received = {}
            for line in lines:
                if line[0] == "1978":
                    received.setdefault(int(line[1]), []).append(int(line[2]))
            list_size = (self.site / "novamend.xml").stat().st_size
            self.assertEqual(sorted(received), sorted([list_size] + [len(data) for data in FILES.values()]))
            for size, values in received.items():
                self.assertEqual(values, sorted(values), size)
                self.assertEqual(values[-1], size)
            self.assertGreater(len(received[300_000]), 1)
            # The updater's properties and exit code, and what the window made of them.
            self.assertEqual(host.exit_code(), 3)
            self.assertIn(["props", "13", "3"], lines)
            self.assertEqual(host.shown("IDC_STATE"), "UpdateEnd (13): 3 files to update")
            self.assertEqual(host.shown("IDC_STATUS"), "Done: 3 files needed an update.")
            self.assert_installed(inst)
        finally:
            host.close()

    def test_paused_host_holds_the_cycle_between_steps(self):
        host, inst = self.host_and_installation()
        try:
            host.press("IDC_PAUSE")
            host.press("IDC_START")
            self.assertTrue(harness.wait_for(lambda: 3 in host.states(), timeout=60))
            time.sleep(2)
            # Checked, then held: nothing of the download yet.
            self.assertEqual(host.states(), [0, 1, 3])
            self.assertIsNone(host.exit_code())
            host.press("IDC_PAUSE")
            self.assertTrue(harness.wait_for(lambda: host.exit_code() is not None, timeout=120))
            # Then the whole cycle, to the files in place.
            self.assertEqual(host.states(), [0, 1, 3, 4, 6, 7, 9, 10, 12, 13])
            self.assert_installed(inst)
        finally:
            host.close()

    def test_closing_host_abandons_the_cycle_only_when_it_asked(self):
        for asked in (True, False):
            with self.subTest(asked=asked):
                host, inst = self.host_and_installation()
                try:
                    if not asked:
                        host.press("IDC_ABANDON")
                    host.press("IDC_PAUSE")
                    host.press("IDC_START")
                    self.assertTrue(harness.wait_for(lambda: 3 in host.states(), timeout=60))
                    states_at_close = host.states()
                finally:
                    host.close()
                self.assertEqual(states_at_close, [0, 1, 3])
                # The updater goes on by itself, or ends at its next look.
                self.assertTrue(harness.wait_for(lambda: not any(harness.wine_processes(inst.exe.parent.name)),
                                                 timeout=120))
                if asked:
                    self.assertFalse((inst.work_dir / "app.dll_").exists())
                    self.assertFalse((inst.app_dir / "app.dll").exists())
                else:
                    self.assert_installed(inst)

    def test_event_programs_start_at_their_states(self):
        record = harness.SCRATCH / ("events-" + harness.new_name()[:8] + ".txt")
        recorder = harness.windows_path(harness.BIN / "record_start.exe")
        target = harness.windows_path(record)
        inst = harness.Installation(
            self.nginx.url("novamend.xml"),
            UpdateEvent={"UpdateCheckRemote": f'"{recorder}" {target} checkremote'},
            UpdateEventWaitClose={"UpdateEnd": f'"{recorder}" {target} --sleep=1500 end'})
        # The exit code counts the files that needed an update.
        self.assertEqual(inst.run("/silence").returncode, 3)
        lines = [line.split("\t") for line in record.read_text().splitlines()]
        starts = [line[-1] for line in lines if line[0] == "start"]
        self.assertIn("checkremote", starts)
        self.assertIn("--sleep=1500 end", starts)
        # The waiting kind had ended before the updater did.
        self.assertEqual(lines[-1][0], "end")


class DownloadRateCapTest(unittest.TestCase):
    CAP_KIB = 1024
    FILES = {f"part{i}.bin": os.urandom(2_500_000) for i in range(3)}

    def test_background_update_keeps_to_the_cap_and_a_visible_one_does_not(self):
        site = Path(tempfile.mkdtemp(prefix="rate-cap-"))
        for path, data in self.FILES.items():
            (site / path).write_bytes(data)
        (site / "novamend.xml").write_text(harness.list_xml([{"path": path, "ver": "2"} for path in self.FILES]))
        server = fault_server.FaultServer(str(site)).start()
        try:
            for mode, capped in (("/silence", True), ("visible", False)):
                server.reset()
                # A small send buffer: what the server counts is what the updater read.
                server.set_faults({f"/{path}": {"send_buffer": 16384} for path in self.FILES})
                inst = harness.Installation(server.url("novamend.xml"),
                                            novamend={"BackgroundDownloadRate": str(self.CAP_KIB)},
                                            application={"Application": "demoapp.exe"})
                shutil.copyfile(harness.BIN / "demoapp.exe", inst.app_dir / "demoapp.exe")
                inst.run(*([mode] if mode.startswith("/") else []), timeout=180)
                busiest, seconds = server.busiest_window(5)
                total = sum(len(data) for data in self.FILES.values())
                for path, data in self.FILES.items():
                    self.assertEqual((inst.app_dir / path).read_bytes(), data, (mode, path))
                cap_window = self.CAP_KIB * 1024 * 5
                if capped:
                    self.assertLessEqual(busiest, cap_window * 1.1, (mode, busiest, seconds))
                    self.assertGreater(seconds, total / (self.CAP_KIB * 1024) * 0.85, mode)
                else:
                    self.assertGreater(busiest, min(total, cap_window * 1.1), (mode, busiest, seconds))
        finally:
            server.stop()
            shutil.rmtree(site, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
