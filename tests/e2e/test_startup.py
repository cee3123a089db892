"""Start-up: the embedded default becomes the settings file of the
application directory under the drive root, at every start; the command line
chooses the run mode; the temporary files of a list can be emptied."""
import shutil
import unittest

import harness


def settings_for(name, **novamend):
    return {"Novamend": dict(novamend),
            "UPDATEINFO": {"ListURL": "http://127.0.0.1:9/novamend.xml"},
            "APPLICATION": {"Application": "app.exe", "Name": name}}


class EmbeddedDefaultTest(unittest.TestCase):
    def test_branded_default_is_written_out_at_every_start(self):
        name = harness.new_name()
        settings = settings_for(name, Mode="emptytemp")
        exe = harness.branded_updater(settings)
        ini = harness.application_directory(name) / "novamend.ini"

        harness.wine([exe], check=True)
        self.assertEqual(ini.read_bytes(), harness.ini_text(settings).encode())

        # A vendor's later edit is replaced by the default at the next start.
        ini.write_text("[APPLICATION]\r\nName=changed\r\n")
        harness.wine([exe], check=True)
        self.assertEqual(ini.read_bytes(), harness.ini_text(settings).encode())

    def test_lumidex_set_beside_the_folder_adds_its_identifier(self):
        name = harness.new_name()
        outer = harness.SCRATCH / harness.new_name()[:10]
        exe = harness.branded_updater(settings_for(name, Mode="emptytemp"), directory=outer / "bin")
        (outer / "LumidexSet.ini").write_text("[APPLICATION]\r\nLumidexSetId=set42\r\n")
        harness.wine([exe], check=True)
        self.assertTrue((harness.DRIVE_C / "Marwenti" / "lumdex" / "set42" / name / "novamend.ini").exists())

    def test_bare_line_feeds_keep_the_whole_name(self):
        name = harness.new_name()
        text = harness.ini_text(settings_for(name, Mode="emptytemp")).replace("\r\n", "\n")
        exe = harness.branded_updater(text)
        harness.wine([exe], check=True)
        self.assertTrue((harness.application_directory(name) / "novamend.ini").exists())


    def test_brand_refuses_what_the_updater_cannot_use_and_leaves_no_file(self):
        folder = harness.SCRATCH / harness.new_name()[:12]
        folder.mkdir(parents=True)
        updater, out = folder / "novamend.exe", folder / "out.exe"
        shutil.copyfile(harness.BIN / "novamend.exe", updater)
        good = {"UPDATEINFO": {"ListURL": "http://127.0.0.1:9/novamend.xml"}}
        cases = {  # name: (UPDATER, the settings, what the refusal says)
            "the tool as updater": (harness.BIN / "novamend-tool.exe", good, "is not a Novamend updater"),
            "arguments swapped": (None, good, "is not a Windows program"),
            "no settings file": (updater, None, "no such file (a settings file was expected)"),
            "no ListURL": (updater, {"APPLICATION": {"Name": "x"}}, "ListURL is missing"),
            "not http": (updater, {"UPDATEINFO": {"ListURL": "ftp://127.0.0.1/novamend.xml"}},
                         "is not an http:// or https:// address"),
            "truncated key": (updater, {"UPDATEINFO": {**good["UPDATEINFO"], "ListPublicKey": "MFkwEwYHKoZIzj0C"}},
                              "ListPublicKey is not a P-256 public key"),
        }
        for number, (name, (source, settings, refusal)) in enumerate(cases.items()):
            with self.subTest(name):
                ini = folder / f"case{number}.ini"
                if settings:
                    ini.write_text(harness.ini_text(settings))
                first, second = (source, ini) if source else (ini, updater)
                result = harness.wine([harness.BIN / "novamend-tool.exe", "brand", harness.windows_path(first),
                                       harness.windows_path(second), harness.windows_path(out)])
                self.assertEqual(result.returncode, 1)
                self.assertIn(refusal, result.stderr.decode(errors="replace"))
                self.assertEqual(sorted(p.name for p in folder.iterdir() if p.suffix != ".ini"), ["novamend.exe"])
        self.assertEqual(updater.read_bytes(), (harness.BIN / "novamend.exe").read_bytes())


    def test_init_writes_a_sample_that_brands_once_edited_and_never_replaces_a_file(self):
        sample = harness.SCRATCH / harness.new_name()[:12] / "vendor.ini"
        sample.parent.mkdir(parents=True)
        init = [harness.BIN / "novamend-tool.exe", "init", harness.windows_path(sample)]
        self.assertEqual(harness.wine(init).returncode, 0)
        text = sample.read_bytes().decode("ascii")
        for line in ("QuickCheck=0\r\n", "Log=novamend.log\r\n", "Mode=showwhenupdate\r\n", "BesideApplication=1\r\n",
                     "[UPDATEINFO]"):
            self.assertIn(line, text)
        name = harness.new_name()
        exe = harness.branded_updater(text.replace("Name=MyApp", "Name=" + name).replace("showwhenupdate", "emptytemp"))
        harness.wine([exe], check=True)
        # Installed beside the application: its own folder is the application directory.
        self.assertIn("Log=novamend.log", (exe.parent / "novamend.ini").read_text())
        self.assertFalse(harness.application_directory(name).exists())
        sample.write_text("mine")
        self.assertEqual(harness.wine(init).returncode, 1)
        self.assertEqual(sample.read_text(), "mine")


class CommandLineTest(unittest.TestCase):
    def test_garbage_command_lines_end_cleanly(self):
        name = harness.new_name()
        exe = harness.branded_updater(settings_for(name, Mode="emptytemp"))
        for args in ([], ["/"], ["---,,,"], ['"'], ["/123456", "/-7"], ["x" * 5000], ["/dotnet"]):
            result = harness.wine([exe] + args, timeout=60)
            self.assertEqual(result.returncode, 0, args)

    def test_emptytemp_removes_the_list_files_and_work_directory(self):
        name = harness.new_name()
        settings = settings_for(name, Mode="silence", TempAppPath="1")
        exe = harness.branded_updater(settings)
        app = harness.application_directory(name)
        work = app / harness.list_digest(settings["UPDATEINFO"]["ListURL"] + "9999999999")
        (work / "sub").mkdir(parents=True)
        (work / "sub" / "a.bin").write_bytes(b"x")
        leftovers = [work.with_name(work.name + s) for s in (".xml.xml", ".xml", ".bin", ".ini")]
        for f in leftovers:
            f.write_bytes(b"old")
        keep = app / "keep.txt"
        keep.write_text("mine")

        # The word on the command line overrides the silence mode of the settings.
        self.assertEqual(harness.wine([exe, "/EmptyTemp"]).returncode, 0)
        self.assertFalse(work.exists())
        for f in leftovers:
            self.assertFalse(f.exists(), f)
        self.assertEqual(keep.read_text(), "mine")


if __name__ == "__main__":
    unittest.main()
