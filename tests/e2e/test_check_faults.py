"""The check against a server that misbehaves: each ends the check in its
error state with the list address in the log, within the check's budget.
Also the check by version number against a page that comes too late or in
pieces, through a real proxy, and a proxy setting that cannot work in a run
nobody watches."""
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import uuid
from pathlib import Path

import harness

sys.path.insert(0, str(harness.ROOT / "tests" / "tools"))
import fault_server  # noqa: E402


def listening(port):
    with socket.socket() as probe:
        return probe.connect_ex(("127.0.0.1", port)) == 0


class CheckAgainstFaultsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.site = Path(tempfile.mkdtemp(prefix="check-faults-"))
        (cls.site / "novamend.xml").write_text(harness.list_xml([{"path": "a.txt", "ver": "1"}]))
        (cls.site / "version.htm").write_text("<ver>2.1.0</ver><url>http://mirror.example/list.xml</url>")
        # Longer than one read, with the mirror after the middle.
        (cls.site / "long-version.htm").write_text(
            "<ver>2.2.0</ver>" + " " * 3000 + "<url>http://mirror.example/late.xml</url>")
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
            self.assertEqual(code, harness.STATUS_FAILED, fault)
            self.assertIn("error when download the list file.", log, fault)
            self.assertIn(self.server.url("novamend.xml"), log, fault)

    def test_stalled_server_ends_within_the_budget(self):
        # TimeOut 30 is about 3 s of polling; the server would stall for 60.
        code, elapsed, log = self.check(stall={"after": 0, "seconds": 60})
        self.assertEqual(code, harness.STATUS_FAILED)
        self.assertIn("error when download the list file.", log)
        self.assertLess(elapsed, 45)

    def test_servers_that_announce_or_send_more_than_a_file_or_list_may_have_fail_at_once(self):
        tb = 2 ** 40
        self.server.reset()
        site = Path(tempfile.mkdtemp(prefix="bounds-"))
        self.addCleanup(shutil.rmtree, site, True)
        for name in ("big.bin", "huge.bin", "vast.bin"):
            (site / name).write_bytes(b"x" * 5000)
        (site / "novamend.xml").write_text(harness.list_xml([
            {"path": "big.bin", "ver": "2", "size": "1000"}, {"path": "huge.bin", "ver": "2", "size": "1000"},
            {"path": "vast.bin", "ver": "2"}]))
        self.server.root = str(site)
        self.addCleanup(setattr, self.server, "root", str(self.site))
        # 1 TB streamed without end. Wine's WinINet, unlike Windows, reads the
        # rest of a body when its request is closed, for as long as bytes keep
        # coming at once: a server that paces them lets it stop.
        endless = {"announce": tb, "ignore_range": True, "rate": 8 << 20}
        for name in ("/huge.bin", "/vast.bin"):
            self.server.set_fault(name, **endless)
        inst = harness.Installation(self.server.url("novamend.xml"))
        self.assertEqual(inst.run("/silence").returncode, harness.STATUS_FAILED)
        log, url = inst.log(), self.server.url("")
        self.assertIn(f"error[big.bin] {url}big.bin (announced 5000 bytes, more than the 1000 expected)", log)
        self.assertIn(f"error[huge.bin] {url}huge.bin (announced {tb} bytes, more than the 1000 expected)", log)
        # The system's own text follows: "Disk full." under Wine, "There is not enough space ..." on Windows.
        self.assertIn(f"error[vast.bin] {url}vast.bin (error 112: ", log)
        # The list endless too, fetched over one connection.
        self.server.set_fault("/novamend.xml", **endless)
        lister = harness.Installation(self.server.url("novamend.xml"), novamend={"filethread": "1"})
        self.assertEqual(lister.run("/checkforupdates").returncode, harness.STATUS_FAILED)
        self.assertIn(f"novamend.xml (announced {tb} bytes, more than the 67108864 expected)", lister.log())
        self.assertLess(self.server.stats()["body_bytes"], 64 << 20)
        for folder in (inst.app_dir, lister.app_dir):
            self.assertEqual([p.name for p in folder.rglob("*") if p.is_file() and p.stat().st_size > 1 << 20], [])
            self.assertEqual(list(folder.rglob("*.part*")), [])

    def version_check(self, time_out, wait_ms, page="version.htm", novamend=None):
        """The probe's check by version number; what the list and the state
        held at its end and wait_ms later."""
        folder = harness.SCRATCH / ("version-" + uuid.uuid4().hex[:10])
        folder.mkdir(parents=True)
        try:
            (folder / "novamend.ini").write_text(harness.ini_text({
                "Novamend": {"TimeOut": time_out, **(novamend or {})}, "APPLICATION": {"CheckVerNumber": "1"},
                "UPDATEINFO": {"ListURL": self.server.url(page)}}))
            result = folder / "result.txt"
            harness.wine([harness.BIN / "download_probe.exe", "version", harness.windows_path(result), wait_ms],
                         timeout=120, check=True)
            return dict(line.split("=", 1) for line in result.read_text().splitlines())
        finally:
            shutil.rmtree(folder, ignore_errors=True)

    def test_version_page_after_the_budget_changes_nothing(self):
        # TimeOut 1 is about 100 ms of polls; the page comes after 3 s. The
        # probe thread gets 4 s more, and must leave the list and the state
        # as the spent budget left them (error 2, no version, no mirrors).
        self.server.reset()
        self.server.set_fault("/version.htm", stall={"after": 0, "seconds": 3})
        outcome = self.version_check("1", 4000)
        self.assertEqual((outcome["state"], outcome["state_later"]), ("2", "2"))
        self.assertEqual((outcome["version"], outcome["mirrors"]), ("", "0"))
        # A TimeOut whose poll count does not fit 32 bits is a long budget,
        # not an empty one.
        self.server.reset()
        outcome = self.version_check("30000000", 0)
        self.assertEqual((outcome["state"], outcome["version"], outcome["mirrors"]), ("3", "2.1.0", "1"))

    def test_version_page_read_to_its_end_in_pieces_and_through_the_proxy(self):
        # On Windows a pause after the first bytes hands the reader a short
        # block, and the page goes on after it: its mirror comes after the
        # pause. (Wine's blocking reads fill every block but the last, so
        # there the page is only shown to be read whole.)
        self.server.reset()
        self.server.set_fault("/long-version.htm", stall={"after": 700, "seconds": 1})
        outcome = self.version_check("60", 0, page="long-version.htm")
        self.assertEqual((outcome["state"], outcome["version"], outcome["mirrors"]), ("3", "2.2.0", "1"))
        # The Proxy setting applies to the version page as to every file.
        proxy_dir = Path(tempfile.mkdtemp(prefix="tinyproxy-"))
        port = harness.free_port()
        (proxy_dir / "tinyproxy.conf").write_text(
            f"Port {port}\nListen 127.0.0.1\nTimeout 60\nLogFile \"{proxy_dir}/log\"\nLogLevel Connect\n"
            f"PidFile \"{proxy_dir}/pid\"\nMaxClients 20\nAllow 127.0.0.1\n")
        proxy = subprocess.Popen(["tinyproxy", "-d", "-c", str(proxy_dir / "tinyproxy.conf")],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            self.assertTrue(harness.wait_for(lambda: listening(port), 10))
            self.server.reset()
            outcome = self.version_check("60", 0, novamend={"Proxy": f"127.0.0.1:{port}"})
            self.assertEqual((outcome["state"], outcome["version"]), ("3", "2.1.0"))
            self.assertIn(self.server.url("version.htm"), (proxy_dir / "log").read_text())
        finally:
            proxy.kill()
            proxy.wait()
            shutil.rmtree(proxy_dir, ignore_errors=True)

    def test_proxy_without_port_in_an_unattended_run_is_logged_once(self):
        # A message box would hold the run forever: nobody is there to answer it.
        self.server.reset()
        inst = harness.Installation(self.server.url("novamend.xml"), novamend={"Proxy": "127.0.0.1"})
        self.assertEqual(inst.run("/silence", timeout=60).returncode, harness.STATUS_FAILED)
        log = inst.log()
        self.assertEqual(log.count("The proxy set error!"), 1, log)
        self.assertIn("error when download the list file.", log)
        self.assertEqual(self.server.requests("/novamend.xml"), [])


if __name__ == "__main__":
    unittest.main()
