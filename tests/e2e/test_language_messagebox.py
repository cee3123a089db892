"""Built-in language tables on a system whose ANSI code page is neither of
theirs: a message box from table 154 (and 153) shows proper Chinese on an
en-US prefix, on a real X display.

Runs in a prefix of its own, because it adds a CJK font link and lets Wine
draw window captions itself (Xvfb has no window manager); the shared prefix
stays as other scenarios expect it. With NOVAMEND_SAVE_SCREENSHOTS=1 the
pictures are saved under docs/screenshots/."""
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

import harness

# A build folder of its own gives the prefix its own start-up lock too, so
# creating it does not hold up scenarios that use the shared prefix.
OWN_BUILD = harness.BUILD / "language-e2e"
PREFIX = OWN_BUILD / "wineprefix"
ENV = {"WINEPREFIX": str(PREFIX), "NOVAMEND_BUILD": str(OWN_BUILD), "LC_ALL": "en_US.UTF-8"}
SCREENSHOTS = harness.ROOT / "docs" / "screenshots"

# Wine knows no CJK font for its dialog faces; link them to the one Debian's
# fonts-wqy-microhei installs, as a Chinese Windows links them to SimSun.
FONT_FACES = ["Tahoma", "Microsoft Sans Serif", "MS Shell Dlg", "MS Shell Dlg 2", "Segoe UI"]
FONT_LINK = "wqy-microhei.ttc,WenQuanYi Micro Hei"


def registry_file():
    def multi_string(*items):
        data = "".join(item + "\0" for item in items) + "\0"
        return "hex(7):" + ",".join(f"{b:02x}" for b in data.encode("utf-16-le"))

    lines = ["Windows Registry Editor Version 5.00", "",
             r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]"]
    lines += [f'"{face}"={multi_string(FONT_LINK)}' for face in FONT_FACES]
    lines += ["", r"[HKEY_CURRENT_USER\Software\Wine\X11 Driver]", '"Managed"="N"', ""]
    return "\r\n".join(lines)


def source_table(name):
    """The [MAIN] section of a built-in table as kept in the sources."""
    table, section = {}, None
    for line in (harness.ROOT / "src" / "res" / "lang" / name).read_text(encoding="utf-8").splitlines():
        line = line.rstrip()
        if line.startswith("[") and line.endswith("]"):
            section = line[1:-1]
        elif section == "MAIN" and "=" in line and not line.startswith(";"):
            key, text = line.replace("\\n", "\n").split("=", 1)
            table[key] = text
    return table


def wine_run(args, **kwargs):
    env = dict(os.environ, **ENV)
    return subprocess.run([str(harness.WINE_RUN)] + [str(a) for a in args], env=env,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kwargs)


class BuiltInTableMessageBoxTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if wine_run(["--prepare"], timeout=300).returncode != 0:
            raise unittest.SkipTest("no Wine prefix or display")
        reg = PREFIX / "drive_c" / "novamend-fonts.reg"
        reg.write_text(registry_file(), encoding="utf-16")
        wine_run(["regedit", "/S", "C:\\novamend-fonts.reg"], timeout=120, check=True)
        # A process started now sees the new settings.
        cls.work = Path(tempfile.mkdtemp(prefix="lang-shots-"))

    @classmethod
    def tearDownClass(cls):
        wine_run(["--stop"], timeout=60)
        shutil.rmtree(cls.work, ignore_errors=True)

    def show_and_capture(self, table_id, file_name):
        report = PREFIX / "drive_c" / f"language-box-{table_id}.txt"
        closer = Path(str(report) + ".close")
        for stale in (report, closer):
            stale.unlink(missing_ok=True)
        env = dict(os.environ, **ENV)
        process = subprocess.Popen(
            [str(harness.WINE_RUN), str(harness.BIN / "language_messagebox.exe"),
             f"C:\\{report.name}", str(table_id)],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            deadline = time.time() + 90
            while not report.exists() and process.poll() is None and time.time() < deadline:
                time.sleep(0.2)
            self.assertTrue(report.exists(), f"no message box appeared (exit {process.poll()})")
            facts = dict(line.split("=", 1) for line in
                         report.read_text(encoding="utf-8").split("\n") if "=" in line)
            # The multi-line text is reported across lines: read it whole.
            facts["text"] = report.read_text(encoding="utf-8").split("text=", 1)[1].rstrip("\n")

            shot = self.work / file_name
            subprocess.run(["import", "-display", facts["display"], "-window", "root", str(shot)],
                           check=True, timeout=60)
        finally:
            closer.touch()
            try:
                process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        self.assertEqual(process.returncode, 0)
        return facts, shot

    def assert_not_blank(self, shot):
        colours = subprocess.run(["convert", str(shot), "-format", "%k", "info:"], capture_output=True,
                                 text=True, check=True).stdout
        self.assertGreater(int(colours), 16, "the screen holds next to nothing")
        trimmed = subprocess.run(["convert", str(shot), "-trim", "-format", "%w %h", "info:"],
                                 capture_output=True, text=True, check=True).stdout.split()
        width, height = map(int, trimmed)
        self.assertGreater(width, 100)
        self.assertGreater(height, 50)

    def save(self, shot, file_name):
        if os.environ.get("NOVAMEND_SAVE_SCREENSHOTS") != "1":
            return
        SCREENSHOTS.mkdir(parents=True, exist_ok=True)
        subprocess.run(["convert", str(shot), "-trim", "+repage", "-bordercolor", "black", "-border", "16",
                        str(SCREENSHOTS / file_name)], check=True)

    def check_table(self, table_id, source, file_name):
        facts, shot = self.show_and_capture(table_id, file_name)
        self.assertNotIn(int(facts["acp"]), (936, 950), "the prefix must not use the table's code page")
        table = source_table(source)
        self.assertEqual(facts["caption"], table["Novamend"])
        expected = (table["Found %d files need to update..."].replace("%d", "3") + "\n"
                    + table["request administrator privileges to continue"])
        # Message boxes may show the line feed as CR LF.
        self.assertEqual(re.sub("\r\n", "\n", facts["text"]), expected)
        self.assert_not_blank(shot)
        self.save(shot, file_name)

    def test_simplified_chinese_table(self):
        self.check_table(154, "novamendcn.lan", "messagebox-zh-cn.png")

    def test_traditional_chinese_table(self):
        self.check_table(153, "novamendbig.lan", "messagebox-zh-tw.png")


if __name__ == "__main__":
    unittest.main()
