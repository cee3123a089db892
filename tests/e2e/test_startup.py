"""Start-up: the embedded default becomes the settings file of the
application directory under the drive root, at every start; the command line
chooses the run mode; the temporary files of a list can be emptied."""
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
