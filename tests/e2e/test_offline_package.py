"""Offline update packages made by novamend-tool pack: a difference package
brings an installation from version 1 to 2 without any request, carrying a
patch in place of a file whose installed version it knows, and every kind of
damage (or an installed file its patch is not for) installs nothing."""
import io
import random
import shutil
import struct
import unittest
import zipfile
from pathlib import Path

import harness

V1 = {"a.txt": b"one a", "sub/b.txt": b"one b", "same.txt": b"unchanged"}
V2 = {"a.txt": b"two a" * 1000, "sub/b.txt": b"two b", "same.txt": b"unchanged", "new.txt": b"new in two"}


def listing(files, versions):
    return harness.list_xml([{"path": p.replace("/", "|"), "ver": versions.get(p, "1")} for p in files])


def split_package(data):
    offset, size = struct.unpack("<II", data[-20:-12])
    return data[:offset], data[offset:offset + size], data[-12:]


def join_package(updater, archive, magic=b"NovamendZip1"):
    return updater + archive + struct.pack("<II", len(updater), len(archive)) + magic


class OfflinePackageTest(unittest.TestCase):
    def setUp(self):
        # Nothing listens at the list address: any request would fail the update.
        self.inst = harness.Installation(f"http://127.0.0.1:{harness.free_port()}/novamend.xml",
                                         novamend={"Mode": "silence"})
        for path, data in V1.items():
            (self.inst.app_dir / path).parent.mkdir(parents=True, exist_ok=True)
            (self.inst.app_dir / path).write_bytes(data)
        self.v1_list = listing(V1, {})
        self.inst.install_list(self.v1_list)
        self.folder = self.inst.exe.parent
        release = self.folder / "release"
        for path, data in V2.items():
            (release / path).parent.mkdir(parents=True, exist_ok=True)
            (release / path).write_bytes(data)
        self.v2_list = listing(V2, {"a.txt": "2", "sub/b.txt": "2"})
        (self.folder / "v2.xml").write_text(self.v2_list)
        (self.folder / "v1.xml").write_text(self.v1_list)
        self.package = self.folder / "offline.exe"
        result = harness.wine([harness.BIN / "novamend-tool.exe", "pack", harness.windows_path(self.inst.exe),
                               harness.windows_path(self.folder / "v2.xml"), harness.windows_path(release),
                               harness.windows_path(self.package), "--against",
                               harness.windows_path(self.folder / "v1.xml")])
        self.assertEqual(result.returncode, 0, result.stderr)

    def tearDown(self):
        shutil.rmtree(self.inst.app_dir, ignore_errors=True)
        shutil.rmtree(self.folder, ignore_errors=True)

    def test_difference_package_installs_version_two_without_a_request(self):
        updater, archive, magic = split_package(self.package.read_bytes())
        self.assertEqual(updater, self.inst.exe.read_bytes())
        self.assertEqual(magic, b"NovamendZip1")
        names = zipfile.ZipFile(io.BytesIO(archive)).namelist()
        self.assertEqual(sorted(names), ["__list4novamend.tmp", "__update4novamend.xml", "a.txt", "new.txt",
                                         "sub/b.txt"])
        host = harness.HostExample()
        try:
            result = harness.wine([self.package, host.handle])
            states = host.states()
        finally:
            host.close()
        self.assertEqual(result.returncode, 3)  # the three files of the package
        self.assertEqual(states[:3], [0, 6, 7])  # straight to the local check: no check, no download
        self.assertNotIn(1, states)
        self.assertIn(12, states)
        for path, data in V2.items():
            self.assertEqual((self.inst.app_dir / path).read_bytes(), data, path)
        self.assertEqual((self.inst.app_dir / "novamend.xml").read_text(), self.v2_list)
        self.assertNotIn("download:", self.inst.log())

    def test_missing_release_file_is_named_and_writes_nothing(self):
        (self.folder / "release" / "new.txt").unlink()
        self.package.unlink()
        result = harness.wine([harness.BIN / "novamend-tool.exe", "pack", harness.windows_path(self.inst.exe),
                               harness.windows_path(self.folder / "v2.xml"),
                               harness.windows_path(self.folder / "release"), harness.windows_path(self.package)])
        self.assertEqual(result.returncode, 1)
        self.assertIn("new.txt", result.stderr.decode(errors="replace"))
        self.assertFalse(self.package.exists())

    def test_damaged_packages_install_nothing_and_say_so_once(self):
        updater, archive, _ = split_package(self.package.read_bytes())

        def with_member(name):
            out = io.BytesIO()
            with zipfile.ZipFile(io.BytesIO(archive)) as old, zipfile.ZipFile(out, "w") as new:
                for item in old.infolist():
                    new.writestr(item, old.read(item))
                new.writestr(zipfile.ZipInfo(name), b"escaped")
            return join_package(updater, out.getvalue())

        whole = join_package(updater, archive)
        damaged = {
            "truncated": join_package(updater, archive[:-60]),
            "wrong size": whole[:-16] + struct.pack("<I", len(archive) + 1) + whole[-12:],
            "dot-dot name": with_member("../../escaped.txt"),
            "drive name": with_member("C:/escaped.txt"),
        }
        for case, data in damaged.items():
            with self.subTest(case):
                self.package.write_bytes(data)
                process = harness.start([self.package])
                text = harness.answer_box(self.inst.name, "ok")
                self.assertEqual(text, "Find some wrong in this update package!")
                process.communicate(timeout=60)
                self.assertEqual(process.returncode, 0)  # ended after the one box
                for path, data_v1 in V1.items():
                    self.assertEqual((self.inst.app_dir / path).read_bytes(), data_v1)
                self.assertFalse((self.inst.app_dir / "new.txt").exists())
                self.assertEqual((self.inst.app_dir / "novamend.xml").read_text(), self.v1_list)
                leftovers = [p.name for p in self.inst.app_dir.rglob("*") if p.name.endswith(("_", ".tmp"))]
                self.assertEqual(leftovers, [])
                self.assertFalse(self.inst.work_dir.with_suffix(".xml").exists())
                for escaped in (self.inst.app_dir.parent / "escaped.txt", harness.DRIVE_C / "escaped.txt"):
                    self.assertFalse(escaped.exists())

    def test_a_package_against_an_installed_release_carries_a_patch_and_refuses_a_file_the_user_changed(self):
        old = {"bin/app.exe": random.Random(24).randbytes(200_000), "same.txt": b"same"}
        new = {"bin/app.exe": old["bin/app.exe"][:9000] + b"new code" + old["bin/app.exe"][9000:],
               "same.txt": b"same", "added.txt": b"added"}
        earlier, release = self.folder / "earlier", self.folder / "release-3"
        for folder, files in ((earlier, old), (release, new), (self.inst.app_dir, old)):
            for path, data in files.items():
                (folder / path).parent.mkdir(parents=True, exist_ok=True)
                (folder / path).write_bytes(data)
        tool = [harness.BIN / "novamend-tool.exe"]
        for args in (["makelist", earlier, earlier / "installed.xml"],
                     ["makelist", release, release / "novamend.xml", "--previous", earlier],
                     ["pack", self.inst.exe, release / "novamend.xml", release, self.package, "--against",
                      earlier / "installed.xml"]):
            result = harness.wine(tool + [harness.windows_path(a) if isinstance(a, Path) else a
                                          for a in args])
            self.assertEqual(result.returncode, 0, result.stderr)
        self.inst.install_list((earlier / "installed.xml").read_text(encoding="utf-8"))
        patch = next(release.glob("bin/app.exe.*._.patch"))
        with zipfile.ZipFile(io.BytesIO(split_package(self.package.read_bytes())[1])) as archive:
            self.assertEqual(sorted(n for n in archive.namelist() if not n.startswith("__")),
                             ["added.txt", f"bin/{patch.name}"])
            self.assertEqual(archive.read(f"bin/{patch.name}"), patch.read_bytes())

        def installed():
            # The work directory keeps only its journal of what it forgot.
            return {p: p.read_bytes() for p in self.inst.app_dir.rglob("*") if p.is_file() and
                    p.suffix not in (".log", ".ini") and p.name != "journal"}

        (self.inst.app_dir / "bin" / "app.exe").write_bytes(b"changed by the user")
        before = installed()
        process = harness.start([self.package])
        self.assertEqual(harness.answer_box(self.inst.name, "ok"), "Find some wrong in this update package!")
        process.communicate(timeout=60)
        self.assertIn("cannot patch bin\\app.exe: the installed file is not the version its patch is for",
                      self.inst.log())
        self.assertEqual(installed(), before)

        (self.inst.app_dir / "bin" / "app.exe").write_bytes(old["bin/app.exe"])
        self.assertEqual(harness.wine([self.package]).returncode, 2, self.inst.log())
        for path, data in new.items():
            self.assertEqual((self.inst.app_dir / path).read_bytes(), data, path)
        self.assertEqual((self.inst.app_dir / "novamend.xml").read_bytes(), (release / "novamend.xml").read_bytes())


if __name__ == "__main__":
    unittest.main()
