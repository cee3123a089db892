"""Zip packages: archives made by Python's zipfile, extracted under Wine by
the real ExtractArchive (through tests/tools/download_probe.exe), compared
byte for byte with what went in, time stamp included."""
import os
import random
import shutil
import time
import unittest
import uuid
import zipfile

import harness
from test_download import read_result, run_probe


class ZipPackageTest(unittest.TestCase):
    def setUp(self):
        self.work = harness.SCRATCH / ("zip-" + uuid.uuid4().hex[:10])
        self.work.mkdir(parents=True)
        self.data = random.Random(4).randbytes(200_000) + b"text " * 20_000

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def extract(self, archive, destination, *options):
        result = self.work / "result.txt"
        code = run_probe("extract", harness.windows_path(archive), harness.windows_path(destination),
                         harness.windows_path(result), *options)
        self.assertEqual(code, 0, "the probe did not finish")
        return read_result(result)

    def make_archive(self, name, entries, compression):
        path = self.work / name
        with zipfile.ZipFile(path, "w", compression=compression) as archive:
            for info_name, data, date_time in entries:
                info = zipfile.ZipInfo(info_name, date_time=date_time)
                info.compress_type = compression
                archive.writestr(info, data)
        return path

    def assert_time(self, path, date_time):
        # The entry's time is local time; Wine's local time is the host's.
        expected = time.mktime(date_time + (0, 0, -1))
        self.assertAlmostEqual(os.stat(path).st_mtime, expected, delta=2)

    def test_stored_and_deflated_archives_extract_the_first_entry(self):
        stamp = (2021, 6, 15, 13, 45, 30)
        for compression in (zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED):
            with self.subTest(compression=compression):
                archive = self.make_archive(f"pack{compression}._.zip", [
                    ("inner/name-does-not-matter.bin", self.data, stamp),
                    ("second.bin", b"not this one", (2020, 1, 1, 0, 0, 0)),
                ], compression)
                destination = self.work / f"out{compression}" / "deeper" / "app.dll"
                outcome = self.extract(archive, destination)
                self.assertEqual(outcome["result"], "1")
                self.assertEqual(destination.read_bytes(), self.data)
                self.assert_time(destination, stamp)
                self.assertEqual(sorted(p.name for p in destination.parent.iterdir()), ["app.dll"])

    def test_existing_destination_is_replaced(self):
        archive = self.make_archive("pack.zip", [("a", self.data, (2022, 2, 2, 2, 2, 2))], zipfile.ZIP_DEFLATED)
        destination = self.work / "app.dll"
        destination.write_bytes(b"old content that is longer or shorter")
        os.chmod(destination, 0o444)
        outcome = self.extract(archive, destination)
        self.assertEqual(outcome["result"], "1")
        self.assertEqual(destination.read_bytes(), self.data)

    def test_archive_of_an_empty_file(self):
        archive = self.make_archive("empty.zip", [("e", b"", (2019, 3, 3, 3, 3, 4))], zipfile.ZIP_DEFLATED)
        destination = self.work / "empty.txt"
        outcome = self.extract(archive, destination)
        self.assertEqual(outcome["result"], "1")
        self.assertEqual(destination.read_bytes(), b"")

    def test_archive_without_entries_leaves_nothing(self):
        archive = self.work / "none.zip"
        with zipfile.ZipFile(archive, "w"):
            pass
        destination = self.work / "none.bin"
        outcome = self.extract(archive, destination)
        self.assertEqual(outcome["result"], "0")
        self.assertFalse(destination.exists())

    def test_damaged_archive_leaves_nothing(self):
        archive = self.make_archive("bad.zip", [("a", self.data, (2022, 2, 2, 2, 2, 2))], zipfile.ZIP_DEFLATED)
        raw = bytearray(archive.read_bytes())
        for i in range(200, 2200):  # inside the compressed data of the entry
            raw[i] ^= 0x5A
        archive.write_bytes(bytes(raw))
        destination = self.work / "bad.bin"
        destination.write_bytes(b"previous")
        outcome = self.extract(archive, destination)
        self.assertEqual(outcome["result"], "0")
        self.assertFalse(destination.exists())

        # Not a zip at all, and no archive at all.
        junk = self.work / "junk.zip"
        junk.write_bytes(b"PK\x03\x04 this is not an archive" * 3)
        self.assertEqual(self.extract(junk, destination)["result"], "0")
        self.assertFalse(destination.exists())
        self.assertEqual(self.extract(self.work / "absent.zip", destination)["result"], "0")
        self.assertFalse(destination.exists())

    def test_bad_checksum_fails(self):
        archive = self.make_archive("crc.zip", [("a", self.data, (2022, 2, 2, 2, 2, 2))], zipfile.ZIP_STORED)
        raw = bytearray(archive.read_bytes())
        raw[30 + 1 + 5000] ^= 0xFF  # one byte of the stored data: only the checksum can tell
        archive.write_bytes(bytes(raw))
        destination = self.work / "crc.bin"
        self.assertEqual(self.extract(archive, destination)["result"], "0")
        self.assertFalse(destination.exists())

    def test_destination_that_cannot_be_cleared_is_no_success(self):
        archive = self.make_archive("pack.zip", [("a", self.data, (2022, 2, 2, 2, 2, 2))], zipfile.ZIP_DEFLATED)
        destination = self.work / "locked.dll"
        destination.write_bytes(b"in use")
        outcome = self.extract(archive, destination, "hold")
        self.assertEqual(outcome["held"], "1")
        self.assertEqual(outcome["result"], "0")
        self.assertEqual(destination.read_bytes(), b"in use", "the file in use is left as it was")


if __name__ == "__main__":
    unittest.main()
