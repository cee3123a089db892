"""Start-up: the embedded default becomes the settings file of the
application directory under the drive root, at every start."""
import unittest

import harness


class EmbeddedDefaultTest(unittest.TestCase):
    def test_branded_default_is_written_out_at_every_start(self):
        name = harness.new_name()
        settings = {"Novamend": {"Mode": "emptytemp"},
                    "UPDATEINFO": {"ListURL": "http://127.0.0.1:9/novamend.xml"},
                    "APPLICATION": {"Application": "app.exe", "Name": name}}
        exe = harness.branded_updater(settings)
        ini = harness.application_directory(name) / "novamend.ini"

        harness.wine([exe], check=True)
        self.assertEqual(ini.read_bytes(), harness.ini_text(settings).encode())

        # A vendor's later edit is replaced by the default at the next start.
        ini.write_text("[APPLICATION]\r\nName=changed\r\n")
        harness.wine([exe], check=True)
        self.assertEqual(ini.read_bytes(), harness.ini_text(settings).encode())


if __name__ == "__main__":
    unittest.main()
