"""The download step over the real segmented downloader, against the fault
server: archives first, finished marks, the files-at-once throttle, the
error list and the repeated call, and a later process finding finished files."""
import io
import os
import random
import shutil
import sys
import tempfile
import unittest
import uuid
import zipfile
from pathlib import Path

import harness

sys.path.insert(0, str(harness.ROOT / "tests" / "tools"))
import fault_server  # noqa: E402

PROBE = harness.BIN / "download_step_probe.exe"


def zip_of(name, data):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr(name, data)
    return buffer.getvalue()


class DownloadStepTest(unittest.TestCase):
    def setUp(self):
        self.site = Path(tempfile.mkdtemp(prefix="step-site-"))
        os.chmod(self.site, 0o755)
        self.server = fault_server.FaultServer(str(self.site)).start()
        self.app_dir = harness.SCRATCH / ("step-" + uuid.uuid4().hex[:10])
        self.app_dir.mkdir(parents=True)
        self.rng = random.Random(5)

    def tearDown(self):
        self.server.stop()
        shutil.rmtree(self.site, ignore_errors=True)
        shutil.rmtree(self.app_dir, ignore_errors=True)

    def serve(self, name, data):
        (self.site / name).parent.mkdir(parents=True, exist_ok=True)
        (self.site / name).write_bytes(data)
        return data

    def run_step(self, files, calls=1, next_files=None, **novamend):
        """Runs the step `calls` times over a list of files, then once over
        next_files as a new cycle when given; returns the record."""
        list_url = self.server.url("novamend.xml")
        (self.app_dir / "novamend.ini").write_text(harness.ini_text({
            "Novamend": {"TempAppPath": "1", **novamend}, "UPDATEINFO": {"ListURL": list_url}}))
        listing = self.app_dir / "list.xml"
        listing.write_text(harness.list_xml(files))
        record = self.app_dir / "record.txt"
        next_cycle = []
        if next_files is not None:
            (self.app_dir / "next.xml").write_text(harness.list_xml(next_files))
            next_cycle = [harness.windows_path(self.app_dir / "next.xml"), 1]
        harness.wine([PROBE, harness.windows_path(self.app_dir), harness.windows_path(record),
                      harness.windows_path(listing), self.server.url("").rstrip("/"), calls] + next_cycle,
                     check=True, timeout=300)
        return record.read_text(encoding="utf-8")

    @property
    def work(self):
        return self.app_dir / harness.list_digest(self.server.url("novamend.xml") + "9999999999")

    def finished(self, path):
        return (self.work / (path.replace("\\", "/") + "_")).read_bytes()

    def test_archive_missing_then_plain_file(self):
        data = self.serve("a.bin", self.rng.randbytes(300_000))
        record = self.run_step([{"path": "a.bin", "ver": "1"}])
        self.assertIn("call 1 state=6 done=1", record)
        base = self.server.url("")
        self.assertIn(f"error[{base}a.bin._.zip]\ndone[{base}a.bin]\n", record)
        self.assertEqual(self.finished("a.bin"), data)
        self.assertFalse((self.work / "a.bin").exists())

    def test_archive_present_is_extracted_and_the_plain_file_never_requested(self):
        data = self.rng.randbytes(200_000)
        self.serve("sub/b.bin._.zip", zip_of("b.bin", data))
        self.serve("sub/b.bin", b"the plain copy must not be fetched")
        record = self.run_step([{"path": "sub\\b.bin", "ver": "1"}])
        self.assertIn("call 1 state=6 done=1", record)
        self.assertIn("unzip ok[", record)
        self.assertEqual(self.finished("sub/b.bin"), data)
        self.assertEqual(self.server.requests("/sub/b.bin"), [])
        self.assertFalse((self.work / "sub" / "b.bin._.zip").exists())

    def test_corrupt_archive_falls_back_to_the_plain_file(self):
        self.serve("c.bin._.zip", b"PK\x03\x04 not really a zip" * 100)
        data = self.serve("c.bin", self.rng.randbytes(70_000))
        record = self.run_step([{"path": "c.bin", "ver": "1"}])
        self.assertIn("unzip error[", record)
        self.assertEqual(self.finished("c.bin"), data)

    def test_after_a_missing_archive_the_plain_file_is_asked_at_once_and_a_found_archive_still_wins(self):
        names = ["a0.bin", "a1.bin", "z2.bin", "a3.bin", "a4.bin"]
        data = {n: self.serve(n, self.rng.randbytes(40_000)) for n in names}
        data["z2.bin"] = self.rng.randbytes(40_000)
        self.serve("z2.bin._.zip", zip_of("z2.bin", data["z2.bin"]))
        self.server.set_faults({f"/{n}._.zip": {"latency": 0.3} for n in names})
        record = self.run_step([{"path": n, "ver": "1"} for n in names], threadcount="1")
        self.assertIn("call 1 state=6 done=5", record)
        for n in names:
            self.assertEqual(self.finished(n), data[n])
        self.assertIn("unzip ok[", record)

        def plain_asked_during_archive(n):
            archive, plain = self.server.requests(f"/{n}._.zip")[0], self.server.requests(f"/{n}")[0]
            return plain["started"] < archive["started"] + 0.3
        # Early only after a miss, and not after the archive that was found.
        self.assertEqual([plain_asked_during_archive(n) for n in ("a0.bin", "a1.bin", "a3.bin", "a4.bin")],
                         [False, True, False, True])

    def test_empty_file_and_entries_that_are_not_fetched(self):
        self.serve("empty.txt", b"")
        record = self.run_step([{"path": "empty.txt", "ver": "1"}, {"path": "gone.txt", "ver": "1", "oper": "del"}])
        self.assertIn("call 1 state=6 done=2", record)
        self.assertEqual(self.finished("empty.txt"), b"")
        self.assertEqual(self.server.requests("/gone.txt"), [])

    def test_files_at_once_never_exceed_threadcount(self):
        files = []
        for i in range(20):
            name = f"f{i:02d}.bin"
            self.serve(name, self.rng.randbytes(20_000))
            files.append({"path": name, "ver": "1"})
        faults = {f"/{f['path']}": {"latency": 0.15} for f in files}
        faults.update({f"/{f['path']}._.zip": {"latency": 0.15} for f in files})
        self.server.set_faults(faults)
        record = self.run_step(files, threadcount="3", filethread="1")
        self.assertIn("call 1 state=6 done=20", record)
        # No answer leaves before its latency has passed since the request was
        # read: until then every request is surely still open for the client.
        requests = self.server.stats()["requests"]
        records = [r for p in faults for r in requests.get(p, [])]
        at_once = fault_server.FaultServer.max_overlap(records, until=lambda r: r["started"] + 0.15)
        self.assertLessEqual(at_once, 3)
        self.assertGreaterEqual(at_once, 2)
        for f in files:
            self.assertEqual(self.finished(f["path"]), (self.site / f["path"]).read_bytes())

    def test_second_call_fetches_only_the_failed_files(self):
        good = [self.serve(f"g{i}.bin", self.rng.randbytes(10_000)) for i in range(3)]
        bad = [self.serve(f"b{i}.bin", self.rng.randbytes(10_000)) for i in range(2)]
        files = [{"path": f"g{i}.bin", "ver": "1"} for i in range(3)] + \
                [{"path": f"b{i}.bin", "ver": "1"} for i in range(2)]
        # The two bad files fail both attempts of the first call only.
        for i in range(2):
            self.server.set_fault(f"/b{i}.bin", status=500, times=4)
            self.server.set_fault(f"/b{i}.bin._.zip", status=404)
        record = self.run_step(files, calls=2, ConnectTryCount="1")
        first, second = record.split("call 2 ")
        self.assertIn("call 1 state=5 done=3", first)
        self.assertIn("state=6 done=5", second)
        base = self.server.url("")
        for i in range(3):
            # Untouched by the second call: a file it worked on would have its
            # message text cleared (a finished file gets no new lines).
            self.assertIn(f"g{i}.bin\nerror[{base}g{i}.bin._.zip]\ndone[{base}g{i}.bin]\n", second)
            self.assertEqual(self.finished(f"g{i}.bin"), good[i])
        for i in range(2):
            self.assertEqual(self.finished(f"b{i}.bin"), bad[i])

    def test_a_new_cycle_in_the_same_process_starts_afresh(self):
        self.serve("a.bin", self.rng.randbytes(5_000))
        later = self.serve("b.bin", self.rng.randbytes(50_000))
        self.server.set_fault("/b.bin", latency=0.5)
        # The first cycle ends with row 1 failed; the next list has no row 1,
        # and its one file must be waited for rather than counted done at once.
        record = self.run_step([{"path": "a.bin", "ver": "1"}, {"path": "gone.bin", "ver": "1"}],
                               next_files=[{"path": "b.bin", "ver": "1"}], ConnectTryCount="1")
        self.assertIn("call 1 state=5 done=1", record)
        self.assertIn("call 2 state=6 done=1", record)
        self.assertEqual(self.finished("b.bin"), later)

    def test_a_later_process_counts_finished_files_without_fetching(self):
        data = self.serve("done.bin", self.rng.randbytes(5_000))
        self.run_step([{"path": "done.bin", "ver": "1"}])
        requests_before = len(self.server.requests("/done.bin"))
        record = self.run_step([{"path": "done.bin", "ver": "1"}])
        self.assertIn("call 1 state=6 done=1", record)
        self.assertEqual(len(self.server.requests("/done.bin")), requests_before)
        self.assertEqual(self.finished("done.bin"), data)

    def test_file_that_cannot_take_its_finished_name_fails(self):
        # A name of 255 bytes is as long as the file system allows: the file
        # downloads, but its finished name (one "_" more) cannot be made.
        name = "n" * 255
        self.serve(name, self.rng.randbytes(3_000))
        record = self.run_step([{"path": name, "ver": "1"}], filethread="1")
        self.assertIn("call 1 state=5 done=0", record)
        self.assertEqual(sorted(p.name for p in self.work.iterdir()), [], "nothing half-marked is left")


if __name__ == "__main__":
    unittest.main()
