"""The HTTP transfer layer and the segmented download under Wine, against
nginx and against the scriptable fault server (tests/tools/fault_server.py,
run in this process). Each case runs tests/tools/download_probe.exe, which
calls the real DownloadFile, QueryRemoteSize or FetchToMemory and writes the
outcome and every progress message it received to a result file."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import uuid
from pathlib import Path

import harness

sys.path.insert(0, str(harness.ROOT / "tests" / "tools"))
import fault_server  # noqa: E402

PROBE = harness.BIN / "download_probe.exe"
UM_FILESIZE, UM_FILEDONE, UM_FILETHREADS, UM_SEGDONE, UM_SEGSIZE = 1044, 1045, 1046, 1068, 1069


FIRST_REQUEST = 1024 * 1024


def segment_size(size, connections):
    """The sizing rule, written out independently of the program: a file that
    the first request (its first MiB) holds whole is one segment."""
    if size <= FIRST_REQUEST:
        return size
    s = (size // connections) * 3 // 4
    s -= s % 1024
    return max(s, 51200)


def segment_lengths(size, connections):
    seg = segment_size(size, connections)
    lengths = []
    offset = 0
    while offset < size:
        lengths.append(min(seg, size - offset))
        offset += seg
    return lengths or [size]


def range_start(header):
    """N of a "bytes=N-" request header; without one a request starts at 0."""
    return int(header.partition("=")[2].partition("-")[0]) if header else 0


def range_length(header, size):
    """Bytes asked for by a "bytes=N-M" or "bytes=N-" header."""
    last = header.partition("=")[2].partition("-")[2] if header else ""
    return (int(last) + 1 if last else size) - range_start(header)


def run_probe(*args, timeout=180):
    """Runs the probe; its output goes to files, never to pipes that Wine's
    background services could inherit and hold open."""
    result = subprocess.run([str(harness.WINE_RUN), str(PROBE)] + [str(a) for a in args],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, timeout=timeout)
    return result.returncode


def read_result(path):
    values = {"message": []}
    for line in Path(path).read_text(encoding="utf-8").splitlines():
        key, _, value = line.partition("=")
        if key == "message":
            values["message"].append(tuple(int(v) for v in value.split(",")))
        else:
            values[key] = value
    return values


class DownloadTestBase(unittest.TestCase):
    maxDiff = 2000
    @classmethod
    def setUpClass(cls):
        cls.root = Path(tempfile.mkdtemp(prefix="novamend-files-"))
        os.chmod(cls.root, 0o755)
        rng = __import__("random").Random(1974)
        cls.files = {
            "one.bin": rng.randbytes(1_000_000),
            "three.bin": rng.randbytes(3 * 1024 * 1024 + 777),
            "ten.bin": rng.randbytes(10 * 1024 * 1024),
            "small.bin": rng.randbytes(30_000),
            "doc.txt": (b"0123456789abcdef" * 128),  # exactly 2048 bytes
            "empty.bin": b"",
            "x^y.bin": rng.randbytes(120_000),
        }
        for name, data in cls.files.items():
            (cls.root / name).write_bytes(data)
            os.chmod(cls.root / name, 0o644)
        cls.faults = fault_server.FaultServer(cls.root).start()
        cls.nginx = harness.Nginx(cls.root)

    @classmethod
    def tearDownClass(cls):
        cls.faults.stop()
        cls.nginx.stop()
        shutil.rmtree(cls.root, ignore_errors=True)

    def setUp(self):
        self.faults.reset()
        self.work = harness.SCRATCH / ("dl-" + uuid.uuid4().hex[:10])
        self.work.mkdir(parents=True)

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def download(self, url, name="target.bin", *options):
        target = self.work / name
        result = self.work / "result.txt"
        code = run_probe("download", url, harness.windows_path(self.work) + "\\" + name,
                         harness.windows_path(result), *options)
        self.assertEqual(code, 0, "the probe did not finish")
        return target, read_result(result)

    def leftovers(self, name="target.bin"):
        return sorted(p.name for p in self.work.iterdir() if p.name.startswith(name))

    def assert_fails_leaving_nothing(self, url, *options):
        """Fails through one connection and through several, and leaves no
        target, part or temporary file behind either way."""
        for connections in ("connections=4", "connections=1"):
            _, outcome = self.download(url, "target.bin", connections, *options)
            self.assertEqual(outcome["result"], "0", connections)
            self.assertEqual(self.leftovers(), [], connections)

    def assert_same_file(self, target, name):
        self.assertTrue(target.exists(), f"{target} missing")
        self.assertEqual(target.read_bytes(), self.files[name], "downloaded bytes differ")

    def check_progress(self, outcome, size, connections, row=0):
        """The messages of a clean segmented transfer: sizes, one report per
        1024-byte block, totals that end at the file size."""
        messages = outcome["message"]
        lengths = segment_lengths(size, connections)
        self.assertIn((UM_FILESIZE, row, size), messages)
        self.assertIn((UM_SEGSIZE, row, segment_size(size, connections)), messages)
        done = [m[2] for m in messages if m[0] == UM_FILEDONE]
        blocks = sum((n + 1023) // 1024 for n in lengths)
        self.assertEqual(len(done), blocks + 1, "one progress report per block, and the final one")
        self.assertEqual(done[-1], size)
        last_per_segment = {}
        for number, wparam, lparam in messages:
            if number == UM_SEGDONE:
                self.assertEqual(wparam & 0xFFFF, row & 0xFFFF)
                last_per_segment[wparam >> 16] = lparam
        self.assertEqual(sorted(last_per_segment), list(range(len(lengths))))
        self.assertEqual([last_per_segment[i] for i in range(len(lengths))], lengths)
        self.assertEqual(sum(last_per_segment.values()), size)
        threads = [m[2] for m in messages if m[0] == UM_FILETHREADS]
        self.assertTrue(threads and threads[-1] == 0, "the running count ends at 0")


class NginxDownloadTest(DownloadTestBase):
    def test_segmented_download_is_byte_exact_with_progress(self):
        size = len(self.files["three.bin"])
        target, outcome = self.download(self.nginx.url("three.bin"), "target.bin", "connections=8", "row=5")
        self.assertEqual(outcome["result"], "1")
        self.assert_same_file(target, "three.bin")
        lengths = segment_lengths(size, 8)
        self.assertEqual(int(outcome["segments"]), len(lengths))
        self.check_progress(outcome, size, 8, row=5)
        self.assertEqual(self.leftovers(), ["target.bin"], "part files are deleted after the join")

    def test_ten_mebibytes_make_eleven_segments(self):
        target, outcome = self.download(self.nginx.url("ten.bin"), "target.bin", "connections=8")
        self.assertEqual(outcome["result"], "1")
        self.assert_same_file(target, "ten.bin")
        self.assertEqual(int(outcome["segments"]), 11)
        self.assertIn((UM_SEGSIZE, 0, 983040), outcome["message"])
        self.check_progress(outcome, len(self.files["ten.bin"]), 8)

    def test_small_file_is_one_segment(self):
        target, outcome = self.download(self.nginx.url("small.bin"), "target.bin", "connections=8")
        self.assertEqual(outcome["result"], "1")
        self.assert_same_file(target, "small.bin")
        self.assertEqual(int(outcome["segments"]), 1)
        self.check_progress(outcome, 30_000, 8)

    def test_single_connection_when_fewer_than_two_connections(self):
        size = len(self.files["one.bin"])
        target, outcome = self.download(self.nginx.url("one.bin"), "target.bin", "connections=1", "row=-1")
        self.assertEqual(outcome["result"], "1")
        self.assert_same_file(target, "one.bin")
        messages = outcome["message"]
        row = -1
        self.assertIn((UM_FILESIZE, row, size), messages)
        self.assertIn((UM_SEGSIZE, row, size), messages)
        self.assertIn((UM_FILETHREADS, row, 1), messages)
        done = [m[2] for m in messages if m[0] == UM_FILEDONE]
        self.assertEqual(len(done), (size + 1023) // 1024)
        self.assertEqual(done, sorted(done), "one connection reports in order")
        self.assertEqual(done[-1], size)
        self.assertTrue(all((m[1] & 0xFFFF) == 0xFFFF for m in messages if m[0] == UM_SEGDONE))
        self.assertEqual(self.leftovers(), ["target.bin"])

    def test_no_retry_uses_one_connection(self):
        before = self.nginx.access_log().count("three.bin")
        target, outcome = self.download(self.nginx.url("three.bin"), "target.bin", "connections=8", "noretry")
        self.assertEqual(outcome["result"], "1")
        self.assert_same_file(target, "three.bin")
        self.assertEqual(self.nginx.access_log().count("three.bin") - before, 1, "one request, no size query")

    def test_connect_try_count_one_still_downloads(self):
        target, outcome = self.download(self.nginx.url("three.bin"), "target.bin", "connections=4", "trycount=1")
        self.assertEqual(outcome["result"], "1")
        self.assert_same_file(target, "three.bin")

    def test_missing_file_fails_and_leaves_nothing(self):
        self.assert_fails_leaving_nothing(self.nginx.url("absent.bin"))

    def test_empty_file(self):
        # Both paths deliver an empty file: the segmented one hands it to a single connection.
        target, outcome = self.download(self.nginx.url("empty.bin"), "target.bin", "connections=4")
        self.assertEqual(outcome["result"], "1")
        self.assertEqual(target.stat().st_size, 0)
        self.assertEqual(self.leftovers(), ["target.bin"])  # no part files
        target.unlink()
        target, outcome = self.download(self.nginx.url("empty.bin"), "target.bin", "connections=1")
        self.assertEqual(outcome["result"], "1", "the single connection accepts an empty file")
        self.assertTrue(target.exists())
        self.assertEqual(target.stat().st_size, 0)

    def test_size_query_and_fetch(self):
        result = self.work / "size.txt"
        run_probe("size", self.nginx.url("one.bin"), harness.windows_path(result))
        self.assertEqual(read_result(result)["size"], str(len(self.files["one.bin"])))
        run_probe("size", self.nginx.url("absent.bin"), harness.windows_path(result))
        self.assertEqual(read_result(result)["size"], "-1")

        body = self.work / "doc.out"
        run_probe("fetch", self.nginx.url("doc.txt"), harness.windows_path(body), harness.windows_path(result))
        outcome = read_result(result)
        self.assertEqual(outcome["result"], "1")
        self.assertEqual(body.read_bytes(), self.files["doc.txt"])


class FaultDownloadTest(DownloadTestBase):
    NAME = "three.bin"

    def size(self):
        return len(self.files[self.NAME])

    def seg(self, connections=4):
        return segment_size(self.size(), connections)

    def test_server_that_ignores_range(self):
        # The whole file comes over the first connection, as one segment.
        self.faults.set_fault("/" + self.NAME, ignore_range=True)
        target, outcome = self.download(self.faults.url(self.NAME), "target.bin", "connections=4")
        self.assertEqual(outcome["result"], "1")
        self.assert_same_file(target, self.NAME)
        requests = self.faults.requests("/" + self.NAME)
        self.assertEqual([(r["range"], r["status"]) for r in requests], [(f"bytes=0-{FIRST_REQUEST - 1}", 200)])
        self.assertEqual(int(outcome["segments"]), 1)
        self.assertIn((UM_SEGSIZE, 0, self.size()), outcome["message"])
        self.assertEqual([m[2] for m in outcome["message"] if m[0] == UM_FILEDONE][-1], self.size())

    def test_connection_dropped_at_any_byte_goes_on_from_that_byte(self):
        # Segment 2 (the first beyond the first request) breaks inside a block.
        seg = self.seg()
        broken = 2 * seg + 20 * 1024 + 700
        self.faults.set_fault("/" + self.NAME, drop_after=20 * 1024 + 700, when_range=2 * seg, times=1)
        target, outcome = self.download(self.faults.url(self.NAME), "target.bin", "connections=4")
        self.assertEqual(outcome["result"], "1")
        self.assert_same_file(target, self.NAME)
        ranges = [r["range"] for r in self.faults.requests("/" + self.NAME)]
        self.assertIn(f"bytes={2 * seg}-{3 * seg - 1}", ranges, "segments but the last ask for bounded ranges")
        self.assertIn(f"bytes={broken}-{3 * seg - 1}", ranges, "the rest of its own segment, from where it broke")
        self.assertEqual(self.leftovers(), ["target.bin"])
        # Still one report per block: the broken block is counted once it is whole.
        self.check_progress(outcome, self.size(), 4)

    def test_dropped_connections_in_single_connection_mode_resume(self):
        self.faults.set_fault("/" + self.NAME, drop_after=100 * 1024, when_range="none", times=1)
        target, outcome = self.download(self.faults.url(self.NAME), "target.bin", "connections=1")
        self.assertEqual(outcome["result"], "1")
        self.assert_same_file(target, self.NAME)
        ranges = [r["range"] for r in self.faults.requests("/" + self.NAME)]
        self.assertEqual(ranges, [None, f"bytes={100 * 1024}-"])

    def test_connect_try_count_is_the_number_of_connections_per_segment(self):
        # Segment 1 gets headers and no body, every time: each connection
        # ends in empty reads, and the segment gives up after its attempts.
        seg = self.seg()
        self.faults.set_fault("/" + self.NAME, drop_after=0, when_range=2 * seg)
        _, outcome = self.download(self.faults.url(self.NAME), "target.bin", "connections=4", "trycount=2")
        self.assertEqual(outcome["result"], "0")
        self.assertEqual(self.leftovers(), [])
        ranges = [r["range"] for r in self.faults.requests("/" + self.NAME)]
        self.assertEqual(ranges.count(f"bytes={2 * seg}-{3 * seg - 1}"), 2)

    def test_target_folder_that_does_not_exist_fails_cleanly(self):
        _, outcome = self.download(self.faults.url(self.NAME), "missing\\target.bin", "connections=4")
        self.assertEqual(outcome["result"], "0")
        self.assertFalse((self.work / "missing").exists())
        _, outcome = self.download(self.faults.url(self.NAME), "missing\\target.bin", "connections=1")
        self.assertEqual(outcome["result"], "0")

    def test_stall_mid_segment_then_completes(self):
        self.faults.set_fault("/" + self.NAME, stall={"after": 10 * 1024, "seconds": 1.5},
                              when_range=self.seg(), times=1)
        target, outcome = self.download(self.faults.url(self.NAME), "target.bin", "connections=4")
        self.assertEqual(outcome["result"], "1")
        self.assert_same_file(target, self.NAME)

    def test_answers_that_do_not_fit_what_was_asked(self):
        seg = self.seg()
        asked = f"bytes={2 * seg}-{3 * seg - 1}"
        # Put right by asking again: the whole body for a bounded range, and
        # once a range that is not the one asked for.
        for fault in ({"ignore_range": True}, {"range_shift": 1024, "times": 1}):
            self.faults.reset()
            self.faults.set_fault("/" + self.NAME, when_range=2 * seg, **fault)
            target, outcome = self.download(self.faults.url(self.NAME), "target.bin", "connections=4")
            self.assertEqual(outcome["result"], "1", fault)
            self.assert_same_file(target, self.NAME)
            self.assertEqual(self.leftovers(), ["target.bin"], fault)
            target.unlink()
        self.assertEqual([r["range"] for r in self.faults.requests("/" + self.NAME)].count(asked), 2)
        # The file is not the one whose first bytes were had: it shrank (416),
        # it grew, or it never ends (a wrong length with no range). The file
        # fails at once, its progress taken back, nothing mixed kept.
        for fault in ({"status": 416, "when_range": 2 * seg}, {"size_delta": 5000, "when_range": 2 * seg},
                      {"content_length": self.size() + 3000, "ignore_range": True}):
            self.faults.reset()
            self.faults.set_fault("/" + self.NAME, **fault)
            _, outcome = self.download(self.faults.url(self.NAME), "target.bin", "connections=4")
            self.assertEqual(outcome["result"], "0", fault)
            self.assertEqual(self.leftovers(), [], fault)
            if "when_range" in fault:
                ranges = [r["range"] for r in self.faults.requests("/" + self.NAME)]
                self.assertEqual(ranges.count(asked), 1, "a changed file is not asked again")
                last = {}
                for number, wparam, lparam in outcome["message"]:
                    if number in (UM_SEGDONE, UM_FILEDONE):
                        last[(number, wparam)] = lparam
                # A file that fails before any segment reported has nothing to take back.
                self.assertLessEqual(set(last.values()), {0}, "every counter that moved went back to 0")
        self.assert_fails_leaving_nothing(self.faults.url(self.NAME))

    def test_server_closing_every_connection_after_its_answer(self):
        self.faults.set_fault("/ten.bin", close_each=True)
        target, outcome = self.download(self.faults.url("ten.bin"), "target.bin", "connections=4")
        self.assertEqual(outcome["result"], "1")
        self.assert_same_file(target, "ten.bin")
        self.assertGreater(len(self.faults.requests("/ten.bin")), 4)

    def test_latency_on_every_request(self):
        self.faults.set_fault("/" + self.NAME, latency=0.3)
        target, outcome = self.download(self.faults.url(self.NAME), "target.bin", "connections=4")
        self.assertEqual(outcome["result"], "1")
        self.assert_same_file(target, self.NAME)

    def test_throttle_keeps_at_most_connections_plus_one_segments(self):
        name = "ten.bin"
        connections = 3
        lengths = segment_lengths(len(self.files[name]), connections)
        self.assertGreater(len(lengths), connections + 1, "more segments than the throttle lets run")
        rate = 3_000_000
        self.faults.set_fault("/" + name, rate=rate)
        target, outcome = self.download(self.faults.url(name), "target.bin", f"connections={connections}")
        self.assertEqual(outcome["result"], "1")
        self.assert_same_file(target, name)
        # A request cannot have all its bytes before the rate allows: until
        # then it is surely still open for the client, however late the
        # server notes its end.
        size = len(self.files[name])
        requests = self.faults.requests("/" + name)
        self.assertEqual(sum(range_length(r["range"], size) for r in requests), size, "no byte asked twice")
        overlap = fault_server.FaultServer.max_overlap(
            requests, until=lambda r: r["started"] + range_length(r["range"], size) / rate)
        self.assertLessEqual(overlap, connections + 1)
        self.assertGreaterEqual(overlap, 2, "segments do run side by side")
        threads = [m[2] for m in outcome["message"] if m[0] == UM_FILETHREADS]
        self.assertLessEqual(max(threads), connections + 1)
        self.check_progress(outcome, len(self.files[name]), connections)

    def test_status_codes(self):
        result = self.work / "size.txt"
        for status in (404, 410, 500):
            self.faults.set_fault("/" + self.NAME, status=status)
            run_probe("size", self.faults.url(self.NAME), harness.windows_path(result))
            self.assertEqual(read_result(result)["size"], "-1", f"status {status}")
            self.assert_fails_leaving_nothing(self.faults.url(self.NAME), "trycount=2")

    def test_first_request_tries_connect_try_count_times_unless_the_file_is_missing(self):
        for status, asked in ((500, 2), (404, 1), (410, 1)):
            self.faults.reset()
            self.faults.set_fault("/" + self.NAME, status=status)
            self.download(self.faults.url(self.NAME), "target.bin", "connections=4", "trycount=2")
            self.assertEqual(len(self.faults.requests("/" + self.NAME)), asked, status)

    def test_answer_without_content_length(self):
        self.faults.set_fault("/" + self.NAME, no_length=True)
        result = self.work / "size.txt"
        run_probe("size", self.faults.url(self.NAME), harness.windows_path(result))
        self.assertLess(int(read_result(result)["size"]), 1)
        # One connection cannot tell the end of such a body from a broken
        # connection: no length, no file.
        _, outcome = self.download(self.faults.url(self.NAME), "target.bin", "connections=1")
        self.assertEqual(outcome["result"], "0")
        self.assertEqual(self.leftovers(), [])
        # Ranged answers name the size in their Content-Range.
        target, outcome = self.download(self.faults.url(self.NAME), "target.bin", "connections=4")
        self.assertEqual(outcome["result"], "1")
        self.assert_same_file(target, self.NAME)

    def test_size_query_retries_with_the_percent_encoded_address(self):
        # This server knows the file only under its encoded name.
        self.faults.set_fault("/x^y.bin", status=404, raw_target="/x^y.bin")
        target, outcome = self.download(self.faults.url("x^y.bin"), "target.bin", "connections=4")
        self.assertEqual(outcome["result"], "1")
        self.assert_same_file(target, "x^y.bin")
        self.assertTrue(outcome["url"].endswith("/x%5Ey.bin"), outcome["url"])
        targets = [(r["target"], r["status"]) for r in self.faults.requests("/x^y.bin")]
        self.assertEqual(targets[0], ("/x^y.bin", 404))
        self.assertTrue(all(t == "/x%5Ey.bin" for t, _ in targets[1:]), targets)
        self.assertEqual(len(targets), 1 + 1, "the plain address once, then the encoded one for the whole file")

    def write_settings(self, keys):
        # The probe's application directory is the folder of its result file.
        (self.work / "novamend.ini").write_text(harness.ini_text({"Novamend": keys}))

    def test_download_through_the_configured_proxy(self):
        # The fault server answers absolute request targets too, so it can
        # stand in for the proxy; the file's own host is never reached.
        # (Wine takes the proxy user and password options but neither sends
        # them nor answers a 407 with them, so only the route is checked.)
        self.write_settings({"Proxy": f"127.0.0.1:{self.faults.port}", "ProxyUser": "alice,secret"})
        unreachable = f"http://127.0.0.1:{harness.free_port()}/{self.NAME}"
        target, outcome = self.download(unreachable, "target.bin", "connections=4")
        self.assertEqual(outcome["result"], "1")
        self.assert_same_file(target, self.NAME)
        requests = self.faults.requests("/" + self.NAME)
        self.assertGreater(len(requests), 1)
        self.assertTrue(all(r["target"] == unreachable for r in requests), requests[:2])
        self.assertNotIn("proxy_error", outcome)

    def test_proxy_without_port_fails_every_transfer(self):
        self.write_settings({"Proxy": "127.0.0.1"})
        _, outcome = self.download(self.faults.url(self.NAME), "target.bin", "connections=1")
        self.assertEqual(outcome["result"], "0")
        self.assertEqual(self.faults.requests("/" + self.NAME), [])
        self.assertEqual(self.leftovers(), [])
        self.assertEqual(outcome.get("proxy_error"), "The proxy set error!")

    def test_fetch_to_memory_of_a_small_document(self):
        body = self.work / "doc.out"
        result = self.work / "fetch.txt"
        run_probe("fetch", self.faults.url("doc.txt"), harness.windows_path(body), harness.windows_path(result))
        self.assertEqual(read_result(result)["result"], "1")
        self.assertEqual(body.read_bytes(), self.files["doc.txt"])
        port = harness.free_port()
        run_probe("fetch", f"http://127.0.0.1:{port}/doc.txt", harness.windows_path(body),
                  harness.windows_path(result))
        self.assertEqual(read_result(result)["result"], "0", "nothing listens there")


if __name__ == "__main__":
    unittest.main()
