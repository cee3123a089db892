"""Resuming after a restart with raised rights: the saved pending list is
loaded, the cycle goes on after the download, and the file is deleted."""
import struct
import unittest

import harness


def text(value):
    units = value.encode("utf-16-le")
    return struct.pack("<I", len(units) // 2) + units


def pending_list(entries, state=6):
    data = text("!-end------")                      # an empty name table
    data += struct.pack("<I", 0)                     # no run commands
    for value in ("", "http://127.0.0.1:9", "{listurl-base}/{filename}", "", ""):
        data += text(value)                          # description, base, template, temp dir, guid
    data += struct.pack("<i", state) + struct.pack("<I", len(entries))
    for path in entries:
        for field in ("", path, "", "1", "", "", "", ""):
            data += text(field)
        data += struct.pack("<I", 0)
    return data


class ResumeAfterElevationTest(unittest.TestCase):
    def test_saved_list_resumes_at_the_local_check_and_is_deleted(self):
        # The tray mode's copy finishes the update in the progress window and
        # ends: the tray that asked for the rights is still there.
        for mode in ("/silence", "/tryicon"):
            with self.subTest(mode):
                host = harness.HostExample()
                try:
                    inst = harness.Installation("http://127.0.0.1:9/novamend.xml")
                    saved = inst.work_dir.with_name(inst.work_dir.name + ".lst")
                    saved.write_bytes(pending_list(["a.txt", "b.txt"]))
                    inst.work_dir.mkdir(parents=True)
                    for name in ("a.txt", "b.txt"):
                        (inst.work_dir / (name + "_")).write_text("downloaded " + name)  # finished
                    result = inst.run(mode, "___runas_admin___", host.handle)
                    self.assertEqual(result.returncode, 2)  # the two files of the saved list
                    self.assertFalse(saved.exists())
                    self.assertEqual((inst.app_dir / "b.txt").read_text(), "downloaded b.txt")
                    states = host.states()
                    # No check and no download again: straight from the download's end to the local check.
                    self.assertEqual(states[:3], [0, 6, 7])
                    self.assertNotIn(1, states)
                    self.assertEqual(states[-1], 13)
                finally:
                    host.close()

    def test_damaged_saved_list_is_ignored_and_deleted(self):
        inst = harness.Installation(f"http://127.0.0.1:{harness.free_port()}/novamend.xml",
                                    novamend={"TimeOut": "10"})
        saved = inst.work_dir.with_name(inst.work_dir.name + ".lst")
        saved.write_bytes(b"\xff" * 64)
        self.assertEqual(inst.run("/silence", "___runas_admin___").returncode, harness.STATUS_FAILED)
        self.assertFalse(saved.exists())


if __name__ == "__main__":
    unittest.main()
