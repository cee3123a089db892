"""Signed releases through nginx and novamend.exe: a list signed with the
vendor's key installs its files; a changed list, a missing or foreign
signature and an older list are refused before any file is asked for; a file
whose bytes differ from its sha256 (plain or archive) or that has none is
never installed, and the application stays as it was. Keys and signatures
cross between openssl and novamend-tool in both directions."""
import hashlib
import io
import random
import re
import shutil
import subprocess
import tempfile
import unittest
import zipfile
import xml.etree.ElementTree as ET
from pathlib import Path

import harness
from test_offline_package import join_package, split_package

TOOL = harness.BIN / "novamend-tool.exe"
# The same tool built natively (scripts/build makes both lanes).
NATIVE_TOOL = harness.BUILD / "native" / "novamend-tool"


def openssl(*args):
    return subprocess.run(["openssl"] + [str(a) for a in args], check=True, capture_output=True).stdout


def tool(*args):
    result = harness.wine([TOOL] + [harness.windows_path(a) if isinstance(a, Path) else a for a in args])
    if result.returncode != 0:
        raise AssertionError(result.stderr.decode(errors="replace"))
    return result.stdout.decode().strip()


def public_key_text(key_file):
    """The ListPublicKey text: the body of what `openssl ec -pubout` writes."""
    pem = openssl("ec", "-in", key_file, "-pubout").decode()
    return "".join(line for line in pem.splitlines() if not line.startswith("-----"))


def rezipped(archive, change):
    """The archive with each member's data passed through change(name, data);
    a member for which it gives None is left out."""
    out = io.BytesIO()
    with zipfile.ZipFile(io.BytesIO(archive)) as old, zipfile.ZipFile(out, "w") as new:
        for item in old.infolist():
            data = change(item.filename, old.read(item))
            if data is not None:
                new.writestr(item, data)
    return out.getvalue()


def openssl_sign(key_file, list_file):
    """Signs as the publishing guide says: DER from openssl, then base64."""
    der = list_file.with_suffix(".der")
    openssl("dgst", "-sha256", "-sign", key_file, "-out", der, list_file)
    openssl("base64", "-in", der, "-out", f"{list_file}.sig")
    der.unlink()


class SignedReleaseTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.keys = Path(tempfile.mkdtemp(prefix="signing-keys-"))
        cls.vendor_key = cls.keys / "vendor.pem"
        openssl("ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", cls.vendor_key)
        cls.vendor_public = public_key_text(cls.vendor_key)
        cls.site = harness.SCRATCH / ("signed-site-" + harness.new_name()[:8])
        cls.nginx = harness.Nginx(cls.site)

    @classmethod
    def tearDownClass(cls):
        cls.nginx.stop()
        shutil.rmtree(cls.keys, ignore_errors=True)
        shutil.rmtree(cls.site, ignore_errors=True)

    def publish(self, files, serial, key=None, edit=None, previous=(), options=()):
        """The release folder becomes the site: files, a list made by
        novamend-tool makelist (with patches from the `previous` release
        folders, edited by `edit` before signing), and its signature by
        openssl with `key`."""
        shutil.rmtree(self.site, ignore_errors=True)
        self.site.mkdir(parents=True)
        for name, content in files.items():
            (self.site / name).parent.mkdir(parents=True, exist_ok=True)
            (self.site / name).write_bytes(content)
        listing = self.site / "novamend.xml"
        tool("makelist", self.site, listing, "--serial", str(serial),
             *[word for folder in previous for word in ("--previous", folder)], *options)
        if edit:
            listing.write_text(edit(listing.read_text(encoding="utf-8")), encoding="utf-8")
        openssl_sign(key or self.vendor_key, listing)
        return listing

    def installation(self, key):
        return harness.Installation(self.nginx.url("novamend.xml"), UPDATEINFO={
            "ListURL": self.nginx.url("novamend.xml"), "ListPublicKey": key})

    def requested_files(self, since):
        paths = re.findall(r'"GET (\S+) ', self.nginx.access_log()[since:])
        return {p for p in paths if not p.startswith("/novamend.xml")}

    def test_signed_release_installs_for_clients_with_and_without_the_key(self):
        self.publish({"a.txt": b"new a", "bin/b.dat": b"\x00b" * 5000}, serial=5)
        # The archive variant of b.dat is taken and checked after extraction.
        with zipfile.ZipFile(self.site / "bin" / "b.dat._.zip", "w") as archive:
            archive.writestr("b.dat", b"\x00b" * 5000)
        for key in (self.vendor_public, ""):
            with self.subTest(key=bool(key)):
                inst = self.installation(key)
                inst.run("/silence")
                self.assertEqual((inst.app_dir / "a.txt").read_bytes(), b"new a", inst.log())
                self.assertEqual((inst.app_dir / "bin" / "b.dat").read_bytes(), b"\x00b" * 5000)
                # The comparison copy keeps the serial for the next check.
                self.assertIn("<serial>5</serial>", (inst.app_dir / "novamend.xml").read_text(encoding="utf-8"))

    def test_patches_from_earlier_releases_are_listed_and_a_file_not_installed_is_fetched_whole(self):
        """makelist --previous: a changed file gets one patch per distinct
        earlier version, smaller than the file and making it byte for byte;
        an unchanged file, a new one and one whose patch would not be smaller
        get none. Where nothing is installed, the whole files are fetched."""
        program = random.Random(24).randbytes(200_000)
        versions = [program[:5000] + b"one" + program[5000:], program[:90_000] + b"two" + program[90_000:]]
        new_program = program[:150_000] + b"three" + program[150_000:]
        earlier = []
        for number, version in enumerate(versions + [versions[1]]):
            folder = harness.SCRATCH / f"earlier-{number}-{harness.new_name()[:8]}"
            shutil.rmtree(folder, ignore_errors=True)
            (folder / "bin").mkdir(parents=True)
            for name, content in {"bin/app.exe": version, "same.txt": b"same", "tiny.txt": b"a"}.items():
                (folder / name).write_bytes(content)
            earlier.append(folder)
            self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        release = {"bin/app.exe": new_program, "same.txt": b"same", "tiny.txt": b"b", "added.txt": b"added"}
        listing = self.publish(release, serial=7, previous=earlier)

        entries = {entry.get("path"): entry for entry in ET.parse(listing).getroot().iter("file")}
        self.assertEqual(set(entries), {"bin\\app.exe", "same.txt", "tiny.txt", "added.txt"})
        for path in ("same.txt", "tiny.txt", "added.txt"):
            self.assertEqual(list(entries[path]), [], path)
        patches = list(entries["bin\\app.exe"])
        self.assertEqual([p.get("from") for p in patches], [hashlib.sha256(v).hexdigest() for v in versions])
        for patch, old in zip(patches, versions):
            patch_file = self.site / patch.get("path").replace("\\", "/")
            data = patch_file.read_bytes()
            self.assertEqual((len(data), hashlib.sha256(data).hexdigest()), (int(patch.get("size")), patch.get("sha256")))
            self.assertLess(len(data), len(new_program) // 10)
            old_file, out = self.site / "old.bin", self.site / "out.bin"
            old_file.write_bytes(old)
            applied = harness.wine([harness.BIN / "delta_bench.exe", "apply", harness.windows_path(old_file),
                                    harness.windows_path(patch_file), str(len(new_program)), harness.windows_path(out)])
            self.assertEqual(applied.returncode, 0, applied.stderr)
            self.assertEqual(out.read_bytes(), new_program)
            old_file.unlink()
            out.unlink()

        inst = self.installation(self.vendor_public)
        inst.run("/silence")
        for name, content in release.items():
            self.assertEqual((inst.app_dir / name).read_bytes(), content, inst.log())

    def test_an_installed_release_is_updated_through_patches_and_a_file_the_user_changed_is_fetched_whole(self):
        rng = random.Random(7)
        old = {"bin/app.exe": rng.randbytes(300_000), "lib.dll": rng.randbytes(120_000), "same.txt": b"same"}
        new = {"bin/app.exe": old["bin/app.exe"][:1000] + b"new code" + old["bin/app.exe"][1000:],
               "lib.dll": old["lib.dll"][:60_000] + b"fix" + old["lib.dll"][60_003:], "same.txt": b"same"}
        earlier = harness.SCRATCH / ("earlier-" + harness.new_name()[:8])
        self.addCleanup(shutil.rmtree, earlier, ignore_errors=True)
        for name, content in old.items():
            (earlier / name).parent.mkdir(parents=True, exist_ok=True)
            (earlier / name).write_bytes(content)
        tool("makelist", earlier, earlier / "installed.xml", "--serial", "1")
        installed_list = (earlier / "installed.xml").read_text(encoding="utf-8")
        # A patch from the same installed file to a lib.dll of the right size
        # but other bytes: it applies, and its result must still be refused.
        wrong = earlier.with_name(earlier.name + "-wrong")
        self.addCleanup(shutil.rmtree, wrong, ignore_errors=True)
        wrong.mkdir()
        (wrong / "lib.dll").write_bytes(old["lib.dll"][:60_000] + b"bug" + old["lib.dll"][60_003:])
        tool("makelist", wrong, wrong / "list.xml", "--serial", "1", "--previous", earlier)
        wrong_patch = next(wrong.glob("lib.dll.*._.patch")).read_bytes()

        def signed_for_wrong_patch(listing):
            entry = re.search(r'<file [^>]*path="lib\.dll".*?</file>', listing, re.S).group(0)
            patch = re.search(r"<patch [^>]*/>", entry).group(0)
            wrong_element = re.sub(r'size="\d+"', f'size="{len(wrong_patch)}"', patch)
            wrong_element = re.sub(r'sha256="\w+"', f'sha256="{hashlib.sha256(wrong_patch).hexdigest()}"',
                                   wrong_element)
            return listing.replace(patch, wrong_element)

        # A file the user changed has no patch; a patch damaged or missing on
        # the server, or one whose result differs, is refused: either way
        # lib.dll comes whole and nothing else is installed.
        whys = {"patches": None, "changed by the user": "no patch is for the installed file",
                "damaged patch": "the patch differs from its size or sha256",
                "missing patch": self.nginx.url("lib.dll."),
                "result does not match": "the patched file differs from the entry's sha256"}
        for case, why in whys.items():
            with self.subTest(case):
                self.publish(new, serial=8, previous=[earlier],
                             edit=signed_for_wrong_patch if case == "result does not match" else None)
                inst = self.installation(self.vendor_public)
                for name, content in old.items():
                    (inst.app_dir / name).parent.mkdir(parents=True, exist_ok=True)
                    (inst.app_dir / name).write_bytes(content)
                if case == "changed by the user":
                    (inst.app_dir / "lib.dll").write_bytes(b"changed by the user")
                for patch in self.site.glob("lib.dll.*._.patch"):
                    if case == "damaged patch":
                        patch.write_bytes(patch.read_bytes()[::-1])
                    elif case == "missing patch":
                        patch.unlink()
                    elif case == "result does not match":
                        patch.write_bytes(wrong_patch)
                inst.install_list(installed_list)
                since = len(self.nginx.access_log())
                inst.run("/silence")
                for name, content in new.items():
                    self.assertEqual((inst.app_dir / name).read_bytes(), content, inst.log())
                requested = self.requested_files(since)
                whole = set() if case == "patches" else {"/lib.dll"}
                self.assertEqual({p for p in requested if not p.endswith("._.patch")} - {"/lib.dll._.zip"}, whole)
                patched = {p.split(".", 1)[0] for p in requested if p.endswith("._.patch")}
                self.assertEqual(patched, {"/bin/app"} | ({"/lib"} if case != "changed by the user" else set()))
                if why:
                    self.assertIn(f"patch not used[lib.dll] {why}", inst.log())

    def test_lists_that_fail_their_signature_or_are_older_are_refused_before_any_file(self):
        other_key = self.keys / "other.pem"
        tool("keygen", other_key)
        release = {"a.txt": b"new a"}
        cases = {
            "changed by one byte": (lambda: self.publish(release, 5).write_bytes(
                (self.site / "novamend.xml").read_bytes().replace(b"a.txt", b"b.txt")),
                "The signature of the list file is not valid."),
            "no signature": (lambda: (self.publish(release, 5), (self.site / "novamend.xml.sig").unlink()),
                             "The list file has no signature."),
            "another key": (lambda: tool("sign", other_key, self.publish(release, 5)),
                            "The signature of the list file is not valid."),
            "older than installed": (lambda: self.publish(release, 5),
                                     "The list file is older than the installed version."),
        }
        inst = self.installation(self.vendor_public)
        for name, (prepare, refusal) in cases.items():
            with self.subTest(name):
                prepare()
                serial = 6 if name == "older than installed" else 4
                copy = harness.list_xml([], extra=f"<serial>{serial}</serial>")
                inst.install_list(copy)
                (inst.app_dir / "novamend.log").unlink(missing_ok=True)
                since = len(self.nginx.access_log())
                inst.run("/silence")
                self.assertIn(refusal, inst.log())
                self.assertNotIn("Found 1 files", inst.log())
                self.assertEqual(self.requested_files(since), set())
                self.assertFalse((inst.app_dir / "a.txt").exists())
                self.assertEqual((inst.app_dir / "novamend.xml").read_text(encoding="utf-8"), copy)
        # A key that is no key refuses every list. Brand refuses to write one,
        # so it is cut inside the updater, as another resource editor might.
        broken = self.installation(self.vendor_public)
        harness.damage_embedded_setting(broken.exe, self.vendor_public, self.vendor_public[:-8])
        broken.run("/silence")
        self.assertIn("ListPublicKey is not a valid key", broken.log())
        self.assertFalse((broken.app_dir / "a.txt").exists())

    def test_release_controls_pause_expire_and_stage_a_release(self):
        release = {"a.txt": b"new a"}
        inst = self.installation(self.vendor_public)
        copy = harness.list_xml([], extra="<serial>4</serial>")

        def check(serial, *options, edit=None, mode="/silence"):
            self.publish(release, serial, edit=edit, options=options)
            inst.install_list(copy)
            (inst.app_dir / "a.txt").unlink(missing_ok=True)
            (inst.app_dir / "novamend.log").unlink(missing_ok=True)
            return inst.exit_code(mode)

        self.assertEqual(check(5, "--paused"), 0)
        self.assertIn("The vendor has paused updates.", inst.log())
        self.assertIn("Find nothing to update.", inst.log())
        self.assertFalse((inst.app_dir / "a.txt").exists())
        # Expired: refused as a failed check, the installed list kept.
        expired = lambda xml: xml.replace("</serial>", "</serial><expires>2020-01-01T00:00:00Z</expires>")
        self.assertEqual(check(5, edit=expired), harness.EXIT_FAILED)
        self.assertIn("The list file has expired (2020-01-01T00:00:00Z).", inst.log())
        self.assertEqual((inst.app_dir / "novamend.xml").read_text(encoding="utf-8"), copy)
        self.assertEqual(check(5, "--expires", "30"), 1)
        self.assertEqual((inst.app_dir / "a.txt").read_bytes(), b"new a", inst.log())
        # Rollout: the updater makes the machine's identifier once; its bucket
        # follows the documented rule and holds across checks.
        identifier_file = inst.app_dir / "__rollout.id"
        identifier_file.unlink(missing_ok=True)
        self.assertEqual(check(7, "--rollout", "0"), 0)
        identifier = identifier_file.read_text()
        bucket = int.from_bytes(hashlib.sha256((identifier + "7").encode()).digest()[:4], "big") % 100
        self.assertIn(f"(bucket {bucket}) is not among them yet", inst.log())
        self.assertEqual(check(7, "--rollout", str(bucket)), 0)
        self.assertEqual(identifier_file.read_text(), identifier)
        self.assertFalse((inst.app_dir / "a.txt").exists())
        self.assertEqual(check(7, "--rollout", str(bucket + 1)), 1)
        self.assertIn(f"(bucket {bucket}) is among them", inst.log())
        self.assertTrue((inst.app_dir / "a.txt").exists())
        # The vendor may let a check the user asks for through at once.
        let_through = lambda xml: xml.replace('percent="0"', 'percent="0" user="all"')
        self.assertEqual(check(7, "--rollout", "0", edit=let_through), 0)
        self.assertEqual(check(7, "--rollout", "0", edit=let_through, mode="/checkforupdates"), 1)

    def test_files_whose_bytes_differ_or_that_have_no_sha256_never_finish(self):
        good = {"a.txt": b"good a", "b.dat": b"good b", "c.bin": b"good c", "d.txt": b"good d"}
        self.publish(good, 7,
                     edit=lambda text: re.sub(r'(path="d\.txt" ver="\w+" size="6") sha256="\w+"', r"\1", text))
        (self.site / "a.txt").write_bytes(b"good A")  # one byte changed on the server
        for name, content in (("b.dat", b"evil b"), ("c.bin", b"evil c")):
            with zipfile.ZipFile(self.site / f"{name}._.zip", "w") as archive:
                archive.writestr(name, content)
        (self.site / "c.bin").write_bytes(b"evil c")
        inst = self.installation(self.vendor_public)
        (inst.app_dir / "a.txt").write_bytes(b"old a")
        since = len(self.nginx.access_log())
        inst.run("/silence")
        log = inst.log()
        # b.dat's archive is refused, its plain file is right; the others never finish.
        self.assertEqual((inst.work_dir / "b.dat_").read_bytes(), b"good b", log)
        for name in ("a.txt", "c.bin", "d.txt"):
            self.assertFalse((inst.work_dir / f"{name}_").exists(), name)
            self.assertFalse((inst.work_dir / name).exists(), name)
        # Nothing is installed: the application stays as it was.
        self.assertEqual((inst.app_dir / "a.txt").read_bytes(), b"old a")
        self.assertFalse((inst.app_dir / "b.dat").exists())
        self.assertIn("sha256 mismatch[", log)
        self.assertIn("no sha256[", log)
        self.assertIn("Error 3 files", log)
        self.assertNotIn("/d.txt", self.requested_files(since))

    def test_without_a_key_the_lists_sizes_and_sha256_keep_an_error_page_out(self):
        # Hosting that answers a missing file with its own page and 200.
        self.publish({"engine.dat": b"\x01" * 3000, "index.html": b"<html>no such page</html>"}, 8)
        (self.site / "engine.dat").unlink()
        (self.site / "novamend.xml.sig").unlink()
        with harness.Nginx(self.site, extra="error_page 404 =200 /index.html;") as hosting:
            inst = harness.Installation(hosting.url("novamend.xml"))
            (inst.app_dir / "engine.dat").write_bytes(b"old")
            self.assertEqual(inst.run("/silence").returncode, harness.STATUS_FAILED)
            self.assertEqual((inst.app_dir / "engine.dat").read_bytes(), b"old")
            self.assertFalse((inst.app_dir / "index.html").exists())
            self.assertIn(f"error[engine.dat] size mismatch[{hosting.url('engine.dat')}]", inst.log())

    def test_offline_packages_carry_the_signed_list_and_install_only_what_it_names(self):
        listing = self.publish({"a.txt": b"packed a", "sub/b.txt": b"packed b"}, 3)
        inst = self.installation(self.vendor_public)
        package = inst.exe.parent / "offline.exe"
        pack = [TOOL, "pack"] + [harness.windows_path(a) for a in (inst.exe, listing, self.site, package)]
        # The updater's key demands the signature: without it no package is made.
        listing.with_suffix(".xml.sig").rename(self.keys / "kept.sig")
        result = harness.wine(pack)
        self.assertEqual(result.returncode, 1)
        self.assertIn("novamend.xml.sig", result.stderr.decode(errors="replace"))
        self.assertFalse(package.exists())
        (self.keys / "kept.sig").rename(listing.with_suffix(".xml.sig"))
        self.assertEqual(harness.wine(pack).returncode, 0)
        updater, archive, _ = split_package(package.read_bytes())
        signed = "__signed4novamend.xml"
        cases = {
            "list changed by one byte": (lambda n, d: d.replace(b"<serial>3", b"<serial>4") if n == signed else d,
                                         2, "The signature of the list file is not valid."),
            "no signature": (lambda n, d: None if n == signed + ".sig" else d, 2, "The list file has no signature."),
            "file changed by one byte": (lambda n, d: b"packed A" if n == "a.txt" else d, 2,
                                         "a file does not match its sha256: a.txt"),
            "older than installed": (lambda n, d: d, 4, "The list file is older than the installed version."),
        }
        for name, (change, installed_serial, refusal) in cases.items():
            with self.subTest(name):
                copy = harness.list_xml([{"path": "a.txt", "ver": "1"}], extra=f"<serial>{installed_serial}</serial>")
                inst.install_list(copy)
                (inst.app_dir / "a.txt").write_bytes(b"old a")
                (inst.app_dir / "novamend.log").unlink(missing_ok=True)
                package.write_bytes(join_package(updater, rezipped(archive, change)))
                process = harness.start([package, "/silence"])
                self.assertEqual(harness.answer_box(inst.name, "ok"), "Find some wrong in this update package!")
                process.communicate(timeout=60)
                self.assertIn(refusal, inst.log())
                self.assertEqual((inst.app_dir / "a.txt").read_bytes(), b"old a")
                self.assertFalse((inst.app_dir / "sub").exists())
                self.assertEqual((inst.app_dir / "novamend.xml").read_text(encoding="utf-8"), copy)
                leftovers = [p.name for p in inst.app_dir.rglob("*") if p.name.endswith(("_", ".tmp"))]
                self.assertEqual(leftovers, [])
                # Files unpacked before a mismatch was known are taken back.
                self.assertEqual([p for p in inst.work_dir.rglob("*.txt")], [])
        inst.install_list(harness.list_xml([{"path": "a.txt", "ver": "1"}], extra="<serial>2</serial>"))
        since = len(self.nginx.access_log())
        package.write_bytes(join_package(updater, archive))
        harness.wine([package, "/silence"], timeout=120)
        self.assertEqual((inst.app_dir / "a.txt").read_bytes(), b"packed a", inst.log())
        self.assertEqual((inst.app_dir / "sub" / "b.txt").read_bytes(), b"packed b")
        self.assertIn("<serial>3</serial>", (inst.app_dir / "novamend.xml").read_text(encoding="utf-8"))
        self.assertEqual(self.nginx.access_log()[since:], "")

    def test_verify_passes_a_sound_release_and_names_each_fault(self):
        listing = self.publish({"a.txt": b"verified a", "bin/b.dat": b"b" * 3000}, serial=8)
        inst = self.installation(self.vendor_public)
        installed = self.keys / "installed.xml"
        installed.write_text(harness.list_xml([], extra="<serial>7</serial>"))

        def verify(source):
            result = harness.wine([TOOL, "verify", harness.windows_path(inst.exe), source,
                                   "--installed", harness.windows_path(installed)])
            return result.returncode, result.stdout.decode(errors="replace")

        for source in (harness.windows_path(self.site), self.nginx.url("novamend.xml")):
            code, said = verify(source)
            self.assertEqual(code, 0, said)
            self.assertIn("signature verifies", said)
            self.assertIn("bin/b.dat: 3000 bytes, sha256 matches", said.replace("\\", "/"))
        (self.site / "a.txt").write_bytes(b"verified A")
        (self.site / "bin" / "b.dat").unlink()
        listing.write_bytes(listing.read_bytes().replace(b"<serial>8<", b"<serial>6<"))
        for source in (harness.windows_path(self.site), self.nginx.url("novamend.xml")):
            code, said = verify(source)
            self.assertEqual(code, 1, said)
            for fault in (".sig does not verify", "serial 6 is not above the installed 7",
                          "a.txt: its sha256 is", "b.dat: missing"):
                self.assertIn(fault, said)
            self.assertIn("4 faults", said)
        self.assertIn("(HTTP 404)", said)

    def test_the_first_release_walk_through_works_as_written(self):
        """docs/first-release.md: its commands, section by section, in one
        working folder; what the document asks the vendor to do by hand is
        done here between the sections."""
        document = (harness.ROOT / "docs" / "first-release.md").read_text(encoding="utf-8")
        sections = re.split(r"^## (\d+)\. .*$", document, flags=re.M)
        commands = {int(number): re.findall(r"^    novamend-tool (.+)$", body, flags=re.M)
                    for number, body in zip(sections[1::2], sections[2::2])}
        work = harness.SCRATCH / ("first-release-" + harness.new_name()[:8])
        work.mkdir(parents=True)
        shutil.copyfile(harness.BIN / "novamend.exe", work / "novamend.exe")
        app = work / "Program Files" / "MyApp"
        releases = {"1.0": {"myapp.exe": b"MZ one", "data/table.dat": b"t" * 900},
                    "1.1": {"myapp.exe": b"MZ two", "data/table.dat": b"t" * 900, "data/new.dat": b"new"}}
        printed = {}

        def by_hand(section):
            if section == 1:  # the settings edited as the document says
                ini = (work / "myapp.ini").read_text()
                ini = ini.replace("https://updates.example.com/myapp/novamend.xml", self.nginx.url("novamend.xml"))
                ini = ini.replace(";ListPublicKey", "ListPublicKey=" + printed["keygen"].strip())
                (work / "myapp.ini").write_text(ini.replace("Name=MyApp", "Name=" + harness.new_name()))
            if section in (2, 3):  # the release folder for the next section
                for name, content in releases["1.0" if section == 2 else "1.1"].items():
                    folder = work / ("release-1.0" if section == 2 else "release-1.1")
                    (folder / name).parent.mkdir(parents=True, exist_ok=True)
                    (folder / name).write_bytes(content)
            if section == 3:  # what the installer puts into the application's folder
                shutil.copytree(work / "release-1.0", app)
                shutil.copyfile(work / "myapp-update.exe", app / "myapp-update.exe")
                shutil.copyfile(work / "myapp.ini", app / "novamend.ini")
                shutil.copyfile(work / "novamend-1.0.xml", app / "novamend.xml")
            if section == 4:  # published
                shutil.rmtree(self.site, ignore_errors=True)
                shutil.copytree(work / "release-1.1", self.site)

        try:
            self.assertEqual(sorted(commands), [1, 2, 3, 4, 5, 6])
            for section in sorted(commands):
                for command in commands[section]:
                    args = command.replace("https://updates.example.com/myapp/novamend.xml",
                                           self.nginx.url("novamend.xml")).split()
                    done = subprocess.run([str(harness.WINE_RUN), str(TOOL)] + args, cwd=work,
                                          capture_output=True, timeout=120)
                    self.assertEqual(done.returncode, 0, (command, done.stdout, done.stderr))
                    printed[args[0]] = done.stdout.decode(errors="replace")
                by_hand(section)
            self.assertIn("novamend.xml.sig", [p.name for p in self.site.iterdir()])
            self.assertNotIn("FAULT", printed["verify"])
            # The user's update: the installed updater takes release 1.1 into its own folder.
            self.assertEqual(harness.wine([app / "myapp-update.exe", "/silence"]).returncode, 2)
            for name, content in releases["1.1"].items():
                self.assertEqual((app / name).read_bytes(), content, name)
            self.assertIn("Update completed,done 2 files", (app / "novamend.log").read_text(errors="replace"))
        finally:
            shutil.rmtree(work, ignore_errors=True)

    def test_tool_keys_and_signatures_work_with_openssl_and_the_updater(self):
        key = self.keys / "tool.pem"
        printed = tool("keygen", key)
        self.assertEqual(printed, public_key_text(key))
        with self.assertRaises(AssertionError):
            tool("keygen", key)  # an existing key is never replaced
        listing = self.publish({"a.txt": b"tool a"}, 9, key=key)  # keygen's key, used by openssl
        inst = self.installation(printed)
        inst.run("/silence")
        self.assertEqual((inst.app_dir / "a.txt").read_bytes(), b"tool a", inst.log())
        # The tool's signature, with openssl's key (SEC1), verified by openssl.
        tool("sign", self.vendor_key, listing)
        (self.keys / "sig.der").write_bytes(openssl("base64", "-d", "-in", f"{listing}.sig"))
        (self.keys / "vendor.pub").write_bytes(openssl("ec", "-in", self.vendor_key, "-pubout"))
        self.assertIn(b"Verified OK", openssl("dgst", "-sha256", "-verify", self.keys / "vendor.pub",
                                              "-signature", self.keys / "sig.der", listing))
        # Help is no error; an unknown command and a file of the wrong kind are named.
        self.assertEqual(harness.wine([TOOL, "--help"]).returncode, 0)
        unknown = harness.wine([TOOL, "signn", key, listing])
        self.assertEqual((unknown.returncode, unknown.stderr.splitlines()[0]),
                         (2, b'novamend-tool: unknown command "signn"'))
        wrong = harness.wine([TOOL, "sign", harness.windows_path(inst.exe), harness.windows_path(listing)])
        self.assertIn(b"novamend.exe: not a private key file", wrong.stderr)

    def test_the_native_tool_writes_the_windows_tools_lists_patches_and_signatures(self):
        """makelist, keygen, sign, init, verify and pack built for Linux: the
        same release folders give the same list and patches byte for byte, the
        same key and list the same signature (deterministic), which openssl and
        the updater accept, verify the same lines and exit code, and pack the
        same package."""
        def native(*args):
            result = subprocess.run([NATIVE_TOOL] + [str(a) for a in args], capture_output=True)
            self.assertEqual(result.returncode, 0, result.stderr.decode(errors="replace"))
            return result.stdout.decode().strip()

        work = harness.SCRATCH / ("native-tool-" + harness.new_name()[:8])
        try:
            program = random.Random(7).randbytes(150_000)
            files = {"app.exe": program + b"v2", "Daten/Übersicht €.txt": "grüße".encode(), "b/z.bin": b"z",
                     "b/A.bin": b"A" * 70, "b/\U0001F600.txt": b"emoji", "b/\uFF21.txt": b"wide A"}
            for side in ("win", "native"):
                for folder, contents in (("release", files), ("earlier", {"app.exe": program + b"v1"})):
                    for name, content in contents.items():
                        (work / side / folder / name).parent.mkdir(parents=True, exist_ok=True)
                        (work / side / folder / name).write_bytes(content)
            options = ["--serial", "42", "--paused", "--rollout", "25"]
            tool("makelist", work / "win" / "release", work / "win" / "list.xml", "--previous",
                 work / "win" / "earlier", *options)
            native("makelist", work / "native" / "release", work / "native" / "list.xml", "--previous",
                   work / "native" / "earlier", *options)
            listing = (work / "native" / "list.xml").read_bytes()
            self.assertEqual(listing, (work / "win" / "list.xml").read_bytes())
            self.assertIn(f'sha256="{hashlib.sha256(program + b"v2").hexdigest()}"'.encode(), listing)
            self.assertIn(b"._.patch", listing)
            for patch in (work / "native" / "release").glob("*._.patch"):
                self.assertEqual(patch.read_bytes(), (work / "win" / "release" / patch.name).read_bytes())

            key = work / "native.pem"
            public = native("keygen", key)
            self.assertEqual(public, public_key_text(key))
            native("sign", key, work / "native" / "list.xml")
            tool("sign", key, work / "win" / "list.xml")
            signature = (work / "native" / "list.xml.sig").read_bytes()
            self.assertEqual(signature, (work / "win" / "list.xml.sig").read_bytes())
            native("sign", key, work / "native" / "list.xml")
            self.assertEqual((work / "native" / "list.xml.sig").read_bytes(), signature)
            for side, run in (("win", tool), ("native", native)):
                run("init", work / side / "novamend.ini")
            self.assertEqual((work / "native" / "novamend.ini").read_bytes(),
                             (work / "win" / "novamend.ini").read_bytes())

            # The native tool's release, published, installs with its key.
            shutil.rmtree(self.site, ignore_errors=True)
            self.site.mkdir(parents=True)
            (self.site / "a.txt").write_bytes(b"native a")
            native("makelist", self.site, self.site / "novamend.xml", "--serial", "11")
            native("sign", key, self.site / "novamend.xml")
            inst = self.installation(public)
            inst.run("/silence")
            self.assertEqual((inst.app_dir / "a.txt").read_bytes(), b"native a", inst.log())

            # Both tools verify it through the server with the same lines and
            # exit code, sound and with a file whose bytes changed since.
            def verify_both():
                url, updater = self.nginx.url("novamend.xml"), harness.windows_path(inst.exe)
                windows = harness.wine([TOOL, "verify", updater, url])
                linux = subprocess.run([NATIVE_TOOL, "verify", inst.exe, url], capture_output=True)
                said = windows.stdout.decode().replace(updater, "UPDATER").splitlines()
                self.assertEqual((linux.returncode, linux.stdout.decode().replace(str(inst.exe), "UPDATER").splitlines()),
                                 (windows.returncode, said), linux.stderr)
                return windows.returncode, "\n".join(said)

            self.assertEqual(verify_both()[0], 0)
            (self.site / "a.txt").write_bytes(b"native A")
            code, said = verify_both()
            self.assertEqual(code, 1, said)
            self.assertIn("a.txt: its sha256 is " + hashlib.sha256(b"native A").hexdigest(), said)

            # pack: both refuse that file; once listed and signed anew, both
            # make the same package byte for byte, and the native one installs.
            def pack_both():
                made = [work / "win" / "offline.exe", work / "native" / "offline.exe"]
                windows = harness.wine([TOOL, "pack"] + [harness.windows_path(p) for p in (
                    inst.exe, self.site / "novamend.xml", self.site, made[0])])
                linux = subprocess.run([NATIVE_TOOL, "pack", inst.exe, self.site / "novamend.xml", self.site, made[1]],
                                       capture_output=True)
                self.assertEqual(linux.returncode, windows.returncode, linux.stderr)
                return windows.returncode, made

            self.assertEqual(pack_both()[0], 1)
            (self.site / "a.txt").write_bytes(b"packed a")
            native("makelist", self.site, self.site / "novamend.xml", "--serial", "12")
            native("sign", key, self.site / "novamend.xml")
            code, made = pack_both()
            self.assertEqual(code, 0)
            self.assertEqual(made[1].read_bytes(), made[0].read_bytes())
            harness.wine([made[1], "/silence"], timeout=120)
            self.assertEqual((inst.app_dir / "a.txt").read_bytes(), b"packed a", inst.log())
        finally:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
