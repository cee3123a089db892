"""Installing: the unattended cycle runs to its end through nginx and
novamend.exe. Files are replaced, added, deleted and copied to several
targets; run entries, programs, action scripts, library registration and
shortcuts happen; a running main program is closed and started again; locked
files stop the install before anything is touched; files in use are moved
aside and removed at the next start; a full disk or a file grabbed before
the swaps leaves every file old; and an update killed at any point leaves
the application all old or all new, settled at the next start."""
import os
import shutil
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

import harness

RECORD_START = harness.windows_path(harness.BIN / "record_start.exe")


def site_with(files, extra=""):
    """A served folder: files maps a path to its content (bytes or text) and
    its list attributes."""
    site = Path(tempfile.mkdtemp(prefix="install-site-"))
    entries = []
    for path, (content, attributes) in files.items():
        if content is not None:
            target = site / path.replace("\\", "/")
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(content if isinstance(content, bytes) else content.encode())
        entries.append({"path": path, **attributes})
    (site / "novamend.xml").write_text(harness.list_xml(entries, extra=extra))
    return site


def installed(inst, files, versions):
    """Puts files (path -> text) into the application directory and records
    versions (path -> ver) as the comparison copy."""
    for path, content in files.items():
        target = inst.app_dir / path.replace("\\", "/")
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(content if isinstance(content, bytes) else content.encode())
    inst.install_list(harness.list_xml([{"path": p, "ver": v} for p, v in versions.items()]))


def leftovers(folder):
    """Bookkeeping files of an update that must not outlive it."""
    patterns = (".part", ".__test", ".__new", "._.zip", "_.__ver")
    return [p for p in Path(folder).rglob("*")
            if p.name.endswith(patterns) or ".__old" in p.name or p.name.endswith("_")
            or p.name in ("__versions4novamend", "__install.journal", "__install.pending")]


def journal_lines(inst):
    """The whole lines of the update's journal, or [] when there is none."""
    try:
        text = (inst.app_dir / "__install.journal").read_bytes().decode("utf-8", "replace")
    except OSError:
        return []
    return text.split("\n")[:-1]


def record_lines(record):
    return [line.split("\t") for line in record.read_text().splitlines()] if record.exists() else []


class WholeUpdateTest(unittest.TestCase):
    def test_every_kind_of_entry_and_a_second_check_finds_nothing(self):
        record = harness.SCRATCH / ("install-" + harness.new_name()[:8] + ".txt")
        killme_dir = harness.SCRATCH / harness.new_name()[:12]
        killme_dir.mkdir(parents=True)
        shutil.copyfile(harness.BIN / "demoapp.exe", killme_dir / "killme.exe")
        script = f"""<actions>
  <path name="{{app}}\\made\\deep"/>
  <ren source="{{app}}\\rename_me.txt" target="{{app}}\\renamed.txt"/>
  <del file="{{app}}\\delete_me.txt" path="{{app}}\\delete_tree"/>
  <ini file="{{app}}\\app.ini" app="main" key="colour" value="blue"/>
  <ini file="{{app}}\\app.ini" app="main" key="size" value=""/>
  <shortcut file="{{app}}\\app.txt" shortcut="{{app}}\\links\\Script"/>
  <group><run file="{RECORD_START}" param="{harness.windows_path(record)} script" waitclose="yes"/></group>
  <kill file="killme.exe"/>
  <ren source="{{app}}\\not_there.txt" target="{{app}}\\nowhere.txt"/>
  <ini file="{{app}}\\no_such_folder\\x.ini" app="a" key="k" value="v"/>
</actions>"""
        run_entry = f'<run path="{RECORD_START}" param="{harness.windows_path(record)} entry" wait="yes"/>'
        site = site_with({
            "app.txt": ("new app", {"ver": "2", "shortcut": "{app}\\links\\App"}),
            "newdir\\sub\\new.txt": ("brand new", {"ver": "1"}),
            "obsolete.txt": (None, {"ver": "2", "oper": "del"}),
            "shared.txt": ("shared", {"ver": "2", "dstname": "copy1.txt;more\\copy2.txt"}),
            "tools\\runme.exe": ((harness.BIN / "demoapp.exe").read_bytes(), {"ver": "2", "oper": "run"}),
            "lib\\register_mark_dll.dll": ((harness.BIN / "register_mark_dll.dll").read_bytes(),
                                           {"ver": "2", "oper": "reg"}),
            "actions.xml": (script, {"ver": "2", "oper": "run"}),
        }, extra=run_entry)
        outside = Path(tempfile.mkdtemp(prefix="outside-"))
        (outside / "precious.txt").write_text("keep me")
        killme = harness.start([killme_dir / "killme.exe", "/stay"])
        try:
            with harness.Nginx(site) as nginx:
                inst = harness.Installation(nginx.url("novamend.xml"))
                installed(inst, {"app.txt": "old app", "obsolete.txt": "old", "rename_me.txt": "r",
                                 "delete_me.txt": "d", "delete_tree\\x.txt": "x",
                                 "app.ini": "[main]\r\nsize=10\r\n"}, {"app.txt": "1", "obsolete.txt": "1"})
                # Left by an interrupted cycle for an older release: not trusted.
                inst.work_dir.mkdir(parents=True)
                (inst.work_dir / "app.txt_").write_text("stale")
                # A link inside the work directory: clearing it must not reach through.
                os.symlink(outside, inst.work_dir / "linked")
                self.assertTrue(harness.wait_for(lambda: (killme_dir / "demoapp.log").exists()))

                self.assertEqual(inst.run("/silence", timeout=300).returncode, 7)
                app = inst.app_dir
                self.assertEqual((app / "app.txt").read_text(), "new app")
                self.assertEqual((app / "newdir/sub/new.txt").read_text(), "brand new")
                self.assertFalse((app / "obsolete.txt").exists())
                self.assertEqual((app / "copy1.txt").read_text(), "shared")
                self.assertEqual((app / "more/copy2.txt").read_text(), "shared")
                self.assertFalse((app / "shared.txt").exists())
                self.assertTrue(harness.wait_for(lambda: (app / "tools/demoapp.log").exists()))
                self.assertEqual((app / "lib/registered.txt").read_text(), "registered")
                # The action script, element by element, depth first.
                self.assertTrue((app / "made/deep").is_dir())
                self.assertEqual((app / "renamed.txt").read_text(), "r")
                self.assertFalse((app / "delete_me.txt").exists() or (app / "delete_tree").exists())
                ini = (app / "app.ini").read_text()
                self.assertIn("colour=blue", ini)
                self.assertNotIn("size", ini)
                starts = [line[-1] for line in record_lines(record) if line[0] == "start"]
                self.assertEqual(starts, ["script", "entry"])
                killme.wait(timeout=30)
                for link, name in ((app / "links/App.lnk", "app.txt"), (app / "links/Script.lnk", "app.txt")):
                    result = harness.SCRATCH / (harness.new_name()[:8] + ".txt")
                    harness.wine([harness.BIN / "shortcut_target.exe", harness.windows_path(link),
                                  harness.windows_path(result)], check=True)
                    target = result.read_text().splitlines()[0]
                    self.assertEqual(target.lower(), harness.windows_path(app / name).lower())
                # Cleared without following the link; nothing left behind. (Windows
                # removes the link itself too; Wine 8 cannot remove a link to a
                # folder through any call, so there it stays, alone.)
                self.assertEqual((outside / "precious.txt").read_text(), "keep me")
                self.assertEqual([p.name for p in inst.work_dir.iterdir()], ["linked"])
                self.assertEqual(leftovers(app), [])
                log = inst.log()
                self.assertIn("Update completed,done 7 files", log)
                self.assertIn("Register file[lib\\register_mark_dll.dll]", log)
                # An element that did not do what it says is told as failed, with the reason.
                failed = [line for line in log.splitlines() if " failed" in line]
                self.assertEqual(len(failed), 2, failed)
                self.assertIn("not_there.txt", failed[0])
                self.assertIn("error 2", failed[0])
                self.assertIn("Write ini[x.ini][k][v] failed", failed[1])

                self.assertEqual(inst.exit_code("/checkforupdates"), 0)
        finally:
            if killme.poll() is None:
                harness.kill_programs(killme_dir.name)
            shutil.rmtree(site, ignore_errors=True)
            shutil.rmtree(outside, ignore_errors=True)

    def test_without_unzip_the_files_are_moved_in_as_they_are(self):
        site = site_with({"kept.txt": ("plain", {"ver": "2"}), "sub\\new.txt": ("new", {"ver": "1"})})
        try:
            with harness.Nginx(site) as nginx:
                inst = harness.Installation(nginx.url("novamend.xml"), novamend={"UnZip": "0"})
                installed(inst, {"kept.txt": "old", "sub\\placeholder.txt": ""}, {"kept.txt": "1"})
                inst.run("/silence", timeout=300)
                # A new file arrives under its own name; an existing one is never replaced.
                self.assertEqual((inst.app_dir / "sub/new.txt").read_text(), "new")
                self.assertEqual((inst.app_dir / "kept.txt").read_text(), "old")
                self.assertEqual(leftovers(inst.app_dir), [])
        finally:
            shutil.rmtree(site, ignore_errors=True)

    def test_staged_files_never_touch_installed_ones_and_climbing_paths_are_refused(self):
        site = site_with({
            "{app}\\bin\\macro.txt": (None, {"ver": "2"}),  # not on the server: the fetch fails
            "..\\escape.txt": ("out", {"ver": "2"}),
        })
        try:
            with harness.Nginx(site) as nginx:
                inst = harness.Installation(nginx.url("novamend.xml"))
                installed(inst, {"bin\\macro.txt": "live"}, {})
                inst.run("/silence", timeout=300)
                self.assertEqual((inst.app_dir / "bin/macro.txt").read_text(), "live")
                self.assertEqual(leftovers(inst.app_dir / "bin"), [])
                self.assertFalse((inst.app_dir.parent / "escape.txt").exists())
                self.assertIn("Refused file[..\\escape.txt]: its path leaves its folder", inst.log())
        finally:
            shutil.rmtree(site, ignore_errors=True)


class RunningProgramsTest(unittest.TestCase):
    def setUp(self):
        self.site = None

    def tearDown(self):
        if self.site:
            shutil.rmtree(self.site, ignore_errors=True)

    def start_demoapp(self, inst, *options):
        process = harness.start([inst.app_dir / "demoapp.exe", "/stay"] + list(options))
        self.assertTrue(harness.wait_for(lambda: "started" in self.app_log(inst)))
        return process

    @staticmethod
    def app_log(inst):
        log = inst.app_dir / "demoapp.log"
        return log.read_text() if log.exists() else ""

    def test_main_program_is_closed_updated_and_started_again(self):
        self.site = site_with({"demoapp.ver": ("2", {"ver": "2"})})
        with harness.Nginx(self.site) as nginx:
            inst = harness.Installation(nginx.url("novamend.xml"), application={"Application": "demoapp.exe"})
            shutil.copyfile(harness.BIN / "demoapp.exe", inst.app_dir / "demoapp.exe")
            installed(inst, {"demoapp.ver": "1"}, {"demoapp.ver": "1"})
            app = self.start_demoapp(inst)
            inst.run("/silence", timeout=300)
            app.wait(timeout=30)
            self.assertTrue(harness.wait_for(lambda: "started, version 2" in self.app_log(inst)))
            lines = self.app_log(inst).splitlines()
            self.assertEqual(lines, ["started, version 1", "asked to end", "started, version 2"])

    def test_program_that_refuses_to_end_and_holds_a_file_stops_the_install(self):
        self.site = site_with({"demoapp.ver": ("2", {"ver": "2"}), "data.txt": ("new data", {"ver": "2"})})
        with harness.Nginx(self.site) as nginx:
            inst = harness.Installation(nginx.url("novamend.xml"), application={"Application": "demoapp.exe"})
            shutil.copyfile(harness.BIN / "demoapp.exe", inst.app_dir / "demoapp.exe")
            installed(inst, {"demoapp.ver": "1", "data.txt": "old data"}, {"demoapp.ver": "1", "data.txt": "1"})
            app = self.start_demoapp(inst, "/refuse", "/hold=data.txt")
            try:
                inst.run("/silence", timeout=300)
                self.assertIn("asked to end", self.app_log(inst))
                self.assertIn("File is locked[" + harness.windows_path(inst.app_dir / "data.txt"), inst.log())
                self.assertEqual((inst.app_dir / "demoapp.ver").read_text(), "1")
                self.assertIsNone(app.poll())
            finally:
                harness.kill_programs(inst.name)

    def test_file_held_by_another_process_stops_the_install_until_it_is_free(self):
        self.site = site_with({"data.txt": ("new data", {"ver": "2"}), "other.txt": ("new other", {"ver": "2"})})
        holder_dir = harness.SCRATCH / harness.new_name()[:12]
        holder_dir.mkdir(parents=True)
        shutil.copyfile(harness.BIN / "demoapp.exe", holder_dir / "holder.exe")
        with harness.Nginx(self.site) as nginx:
            inst = harness.Installation(nginx.url("novamend.xml"))
            installed(inst, {"data.txt": "old data", "other.txt": "old other"}, {"data.txt": "1", "other.txt": "1"})
            kept_copy = (inst.app_dir / "novamend.xml").read_text()
            holder = harness.start([holder_dir / "holder.exe", "/stay",
                                    "/hold=" + harness.windows_path(inst.app_dir / "data.txt")])
            self.assertTrue(harness.wait_for(lambda: (holder_dir / "demoapp.log").exists()))
            try:
                inst.run("/silence", timeout=300)
                # Nothing half-replaced, and the comparison copy did not advance.
                self.assertEqual((inst.app_dir / "data.txt").read_text(), "old data")
                self.assertEqual((inst.app_dir / "other.txt").read_text(), "old other")
                self.assertEqual((inst.app_dir / "novamend.xml").read_text(), kept_copy)
            finally:
                harness.kill_programs(holder_dir.name)
            holder.wait(timeout=30)
            inst.run("/silence", timeout=300)
            self.assertEqual((inst.app_dir / "data.txt").read_text(), "new data")
            self.assertEqual((inst.app_dir / "other.txt").read_text(), "new other")

    def test_program_in_use_is_moved_aside_and_removed_at_the_next_start(self):
        new_program = (harness.BIN / "record_start.exe").read_bytes()
        self.site = site_with({"tools\\busy.exe": (new_program, {"ver": "2"})})
        holder_dir = harness.SCRATCH / harness.new_name()[:12]
        holder_dir.mkdir(parents=True)
        shutil.copyfile(harness.BIN / "demoapp.exe", holder_dir / "holder.exe")
        with harness.Nginx(self.site) as nginx:
            inst = harness.Installation(nginx.url("novamend.xml"))
            tools = inst.app_dir / "tools"
            tools.mkdir(parents=True)
            shutil.copyfile(harness.BIN / "demoapp.exe", tools / "busy.exe")
            (tools / "busy.exe.__old").write_text("an older backup, in use")
            installed(inst, {}, {"tools\\busy.exe": "1"})
            busy = harness.start([tools / "busy.exe", "/stay"])
            holder = harness.start([holder_dir / "holder.exe", "/stay",
                                    "/hold=" + harness.windows_path(tools / "busy.exe.__old")])
            self.assertTrue(harness.wait_for(lambda: (tools / "demoapp.log").exists()
                                             and (holder_dir / "demoapp.log").exists()))
            try:
                inst.run("/silence", timeout=300)
                self.assertEqual((tools / "busy.exe").read_bytes(), new_program)
                # ".__old" is taken, so the running program went to ".__old0".
                self.assertTrue((tools / "busy.exe.__old0").exists())
                self.assertIn("busy.exe.__old0", (inst.app_dir / "__oldfiles.lst").read_text())
                self.assertIn("backup file error[" + harness.windows_path(tools / "busy.exe"), inst.log())
            finally:
                harness.kill_programs(holder_dir.name)
                harness.kill_programs(inst.name)
            busy.wait(timeout=30)
            holder.wait(timeout=30)
            inst.run("/checkforupdates")
            self.assertFalse((tools / "busy.exe.__old0").exists())
            self.assertFalse((inst.app_dir / "__oldfiles.lst").exists())


class AllOrNothingTest(unittest.TestCase):
    """A failure in the last step leaves every file as it was: a full disk
    while the new files are put beside the old ones, or a file that another
    program grabs after the local check, before the swaps."""

    def setUp(self):
        self.site = None

    def tearDown(self):
        if self.site:
            shutil.rmtree(self.site, ignore_errors=True)

    def assert_all(self, inst, files, version):
        for name, content in files.items():
            self.assertEqual((inst.app_dir / name).read_bytes(), content[version], name)
        # The downloads stay staged for the next run: only they are left.
        self.assertEqual([p for p in leftovers(inst.app_dir) if inst.work_dir not in p.parents], [])

    def test_a_full_disk_leaves_every_file_old_and_the_next_run_completes_without_downloading(self):
        files = {f"f{i}.bin": {1: b"old %d" % i, 2: os.urandom(300_000)} for i in range(6)}
        self.site = site_with({name: (content[2], {"ver": "2"}) for name, content in files.items()})
        with harness.Nginx(self.site) as nginx:
            # The downloads lie elsewhere; the application's folder holds three of the new files at most.
            inst = harness.Installation(nginx.url("novamend.xml"), novamend={"TempAppPath": "0"})
            mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", str(inst.app_dir)],
                                     capture_output=True)
            if mounted.returncode != 0:
                self.skipTest("cannot mount a small file system here: " + mounted.stderr.decode(errors="replace"))
            self.addCleanup(subprocess.run, ["umount", "-l", str(inst.app_dir)], capture_output=True)
            installed(inst, {name: content[1] for name, content in files.items()},
                      {name: "1" for name in files})
            kept_copy = (inst.app_dir / "novamend.xml").read_bytes()
            inst.run("/silence", timeout=300)
            self.assert_all(inst, files, 1)
            self.assertEqual((inst.app_dir / "novamend.xml").read_bytes(), kept_copy)
            log = inst.log()
            # Across file systems Wine copies what it is asked to move.
            self.assertRegex(log, r"(move|copy) file error\[.*f3\.bin_\]to\[.*f3\.bin\.__new\] \(error 112")
            self.assertIn("Update not completed,every file is as it was", log)
            served = nginx.access_log().count(".bin")

            subprocess.run(["mount", "-o", "remount,size=8m", str(inst.app_dir)], check=True)
            inst.run("/silence", timeout=300)
            self.assert_all(inst, files, 2)
            self.assertEqual(nginx.access_log().count(".bin"), served)  # nothing fetched again

    def test_a_file_grabbed_after_the_local_check_rolls_every_swap_back(self):
        record = harness.SCRATCH / ("grabbed-" + harness.new_name()[:8] + ".txt")
        files = {f"f{i}.txt": {1: b"old %d" % i, 2: b"new %d" % i} for i in range(5)}
        self.site = site_with({name: (content[2], {"ver": "2"}) for name, content in files.items()})
        holder_dir = harness.SCRATCH / harness.new_name()[:12]
        holder_dir.mkdir(parents=True)
        shutil.copyfile(harness.BIN / "demoapp.exe", holder_dir / "holder.exe")
        with harness.Nginx(self.site) as nginx:
            # The local check has passed when the state's program runs; it holds the cycle a moment.
            checked = f'"{RECORD_START}" {harness.windows_path(record)} --sleep=3000 checked'
            inst = harness.Installation(nginx.url("novamend.xml"), UpdateEventWaitClose={"UpdateCheckLocalOk": checked})
            installed(inst, {name: content[1] for name, content in files.items()}, {name: "1" for name in files})
            kept_copy = (inst.app_dir / "novamend.xml").read_bytes()
            updater = inst.start("/silence")
            try:
                self.assertTrue(harness.wait_for(record.exists, timeout=120))
                # The last file of the list, so that the swaps before it are made and undone.
                harness.start([holder_dir / "holder.exe", "/stay", "/hold=" + harness.windows_path(inst.app_dir / "f4.txt")])
                self.assertTrue(harness.wait_for(lambda: (holder_dir / "demoapp.log").exists()))
                updater.wait(timeout=120)
                self.assert_all(inst, files, 1)
                self.assertEqual((inst.app_dir / "novamend.xml").read_bytes(), kept_copy)
                self.assertIn("backup file error[" + harness.windows_path(inst.app_dir / "f4.txt"), inst.log())
            finally:
                harness.kill_programs(holder_dir.name)


class KilledUpdateTest(unittest.TestCase):
    FILES = 120

    @classmethod
    def setUpClass(cls):
        cls.old = {f"data\\file{i:03}.bin": b"old %d" % i for i in range(cls.FILES)}
        files = {name: (os.urandom(8 * 1024), {"ver": "2"}) for name in cls.old}
        # The tasks: an action script and a run element, each noting each start.
        files["actions.xml"] = (
            '<a><run file="' + RECORD_START + '" param="{record} --sleep=600 a" waitclose="1"/></a>',
            {"ver": "2", "oper": "run"})
        cls.files = files
        cls.site = Path(tempfile.mkdtemp(prefix="killed-site-"))
        # Slow enough that the kills land in every phase of the cycle.
        cls.nginx = harness.Nginx(cls.site, extra="limit_rate 400k;")

    @classmethod
    def tearDownClass(cls):
        cls.nginx.stop()
        shutil.rmtree(cls.site, ignore_errors=True)

    def fresh_installation(self):
        """An application at version 1, a site of its own for version 2 whose
        tasks note their starts in a record of the installation's own."""
        inst_site = self.site / harness.new_name()[:8]
        record = harness.SCRATCH / ("killed-" + harness.new_name()[:8] + ".txt")
        files = dict(self.files)
        script, attributes = files["actions.xml"]
        files["actions.xml"] = (script.replace("{record}", harness.windows_path(record)), attributes)
        entries = []
        for path, (content, attributes) in files.items():
            target = inst_site / path.replace("\\", "/")
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(content if isinstance(content, bytes) else content.encode())
            entries.append({"path": path, **attributes})
        run_element = f'<run path="{RECORD_START}" param="{harness.windows_path(record)} --sleep=600 r" wait="1"/>'
        (inst_site / "novamend.xml").write_text(harness.list_xml(entries, extra=run_element))
        inst = harness.Installation(self.nginx.url(inst_site.name + "/novamend.xml"))
        installed(inst, self.old, {name: "1" for name in self.old})
        return inst, inst_site, record

    def version_of(self, inst, inst_site):
        """1 or 2 when every file is of that version; None for a mix."""
        seen = set()
        for name, old in self.old.items():
            content = (inst.app_dir / name.replace("\\", "/")).read_bytes()
            seen.add(1 if content == old else 2 if content == (inst_site / name.replace("\\", "/")).read_bytes() else 0)
        return seen.pop() if len(seen) == 1 and 0 not in seen else None

    def assert_at_new_version(self, inst, inst_site):
        self.assertEqual(self.version_of(inst, inst_site), 2)
        self.assertFalse(inst.work_dir.exists())
        self.assertEqual(leftovers(inst.app_dir), [])
        self.assertEqual(inst.exit_code("/checkforupdates"), 0)

    @staticmethod
    def task_starts(record):
        return sorted(line[-1].split()[-1] for line in record_lines(record) if line[0] == "start")

    def kill_when(self, inst, record, condition, timeout=120):
        """Starts the update and ends it when the journal, the tasks' starts and
        the seconds since the start meet the condition (or after that many
        seconds). Returns what the journal held, None when the update ended
        before the condition was met."""
        updater = inst.start("/silence")
        began = time.time()
        lines = []
        if isinstance(condition, float):
            time.sleep(condition)
        else:
            deadline = began + timeout
            while not condition(lines, self.task_starts(record), time.time() - began):
                if time.time() > deadline or updater.poll() is not None:
                    lines = None
                    break
                time.sleep(0.001)
                lines = journal_lines(inst)
        inst.kill()
        updater.wait(timeout=30)
        return lines

    def test_killed_anywhere_the_application_is_never_half_new_and_every_task_runs_once(self):
        count = lambda lines, name: sum(1 for line in lines if line.startswith(name + "\t"))
        # A download kill lands before the journal begins, however fast the
        # download was: later, it could fall between a task's note and its
        # start, and a task is run at most once.
        downloading = lambda seconds: lambda lines, _, elapsed: elapsed >= seconds or bool(lines)
        preparing = lambda n: lambda lines, *_: count(lines, "step") >= n and "prepared" not in lines
        swapping = lambda n: lambda lines, *_: count(lines, "done") >= n and "committed" not in lines
        # While a task runs, the updater waits for it.
        running = lambda *names: lambda _, starts, __: all(name in starts for name in names)
        points = ([("download", downloading(0.6)), ("download", downloading(1.2)), ("download", downloading(2.0))] +
                  [(f"prepare {n}", preparing(n)) for n in (1, 20, 45, 70, 95, 115)] +
                  [(f"commit {n}", swapping(n)) for n in (1, 15, 35, 50, 60, 80, 100, 118)] +
                  [("committed", lambda lines, *_: "committed" in lines)] +
                  [("script running", running("a")), ("run element running", running("a", "r")),
                   ("late", 9.0)])
        landed = []
        for name, condition in points:
            with self.subTest(kill=name):
                inst, inst_site, record = self.fresh_installation()
                lines = self.kill_when(inst, record, condition)
                # Each kill meant for a phase landed in it.
                self.assertIsNotNone(lines)
                landed.append((name, count(lines, "step"), "prepared" in lines, count(lines, "done"),
                               count(lines, "task")))
                # A start that updates nothing settles what the kill left.
                inst.run("/checkforupdates")
                self.assertIn(self.version_of(inst, inst_site), (1, 2))
                self.assertEqual(journal_lines(inst), [])
                inst.run("/silence", timeout=300)
                self.assert_at_new_version(inst, inst_site)
                self.assertEqual(self.task_starts(record), ["a", "r"])
        print("kills landed (name, steps, prepared, swaps, tasks):", landed)

    def test_an_updater_killed_while_another_runs_does_not_block_it(self):
        inst, inst_site, _ = self.fresh_installation()
        # A second copy of the same branded updater: the same application,
        # but a process that can be told apart.
        other = harness.SCRATCH / harness.new_name()[:12]
        other.mkdir(parents=True)
        shutil.copyfile(inst.exe, other / "novamend.exe")
        first = inst.start("/silence")
        time.sleep(1.0)
        second = harness.start([other / "novamend.exe", "/silence"])
        time.sleep(1.5)
        inst.kill()
        first.wait(timeout=30)
        second.wait(timeout=300)
        inst.run("/silence", timeout=300)
        self.assert_at_new_version(inst, inst_site)


@unittest.skipUnless(harness.UserLane.available(), "needs root and the ordinary user scripts/setup makes")
class ElevationTest(unittest.TestCase):
    """An ordinary user's updater meets an application directory it may not
    write. (Under Wine the "runas" verb starts the copy as the same user, so
    the elevated copy has no more rights: it can show that it resumes, not
    that it writes.)"""

    @classmethod
    def setUpClass(cls):
        cls.lane = harness.UserLane()
        cls.site = site_with({"data.txt": ("new data", {"ver": "2"})})
        cls.nginx = harness.Nginx(cls.site)

    @classmethod
    def tearDownClass(cls):
        cls.nginx.stop()
        cls.lane.stop()
        shutil.rmtree(cls.site, ignore_errors=True)

    def installation(self, **sections):
        """A branded updater in the lane, and an application directory of
        root's that the user may read but not write."""
        name = harness.new_name()
        settings = {"Novamend": {"ShowWhenCheck": "false", "QuickCheck": "false"},
                    "UPDATEINFO": {"ListURL": self.nginx.url("novamend.xml")},
                    "APPLICATION": {"Application": "app.exe", "Name": name}, **sections}
        branded = harness.branded_updater(settings)
        folder = self.lane.owned_folder(self.lane.scratch / harness.new_name()[:12])
        exe = folder / "novamend.exe"
        shutil.copyfile(branded, exe)
        app_dir = self.lane.drive_c / "Marwenti" / "lumdex" / name
        app_dir.mkdir(parents=True)
        # The updater cannot write its settings out here: they are there already.
        (app_dir / "novamend.ini").write_text(harness.ini_text(settings))
        (app_dir / "data.txt").write_text("old data")
        (app_dir / "novamend.xml").write_text(harness.list_xml([{"path": "data.txt", "ver": "1"}]))
        return exe, app_dir

    def test_missing_rights_restart_the_updater_which_resumes_at_the_local_check(self):
        exe, app_dir = self.installation()
        host = harness.HostExample(lane=self.lane)
        try:
            self.lane.wine([exe, "/silence", host.handle], timeout=300)
            served_to_the_first = self.nginx.access_log()
            # The first run ends asking for the restart; the copy it started
            # finishes on its own.
            self.assertTrue(harness.wait_for(lambda: 13 in host.states(), timeout=120), host.states())
            states = host.states()
            self.assertEqual(states, [0, 1, 3, 4, 6, 7, 8, 0, 6, 7, 9, 10, 11, 13])
            logs = host.texts(1975)
            self.assertIn("continue update as administrator", logs)
            # The settings file could not be written: said in the log, no box.
            self.assertTrue(any(line.startswith("Can't write to file") and "error 5" in line for line in logs))
            # The resumed copy neither checked nor downloaded again.
            self.assertEqual(self.nginx.access_log(), served_to_the_first)
            self.assertEqual((app_dir / "data.txt").read_text(), "old data")
        finally:
            host.close()

    def test_uninstall_restarts_elevated_once(self):
        record = self.lane.owned_folder(self.lane.scratch / harness.new_name()[:12]) / "record.txt"
        started = f'"{RECORD_START}" {self.lane.windows_path(record)} started'
        exe, app_dir = self.installation(UpdateEvent={"UpdateStartup": started})
        self.lane.wine([exe, "/uninstall"], timeout=120)
        # The first process could not write its settings file and started the
        # elevated copy, which does not start another.
        self.assertTrue(harness.wait_for(lambda: len(record_lines(record)) >= 2, timeout=60))
        time.sleep(2)
        self.assertEqual([line[0] for line in record_lines(record)], ["start", "start"])

    def test_the_copy_with_raised_rights_killed_in_its_commit_is_settled_by_the_next_start(self):
        names = [f"f{i:03}.txt" for i in range(120)]
        site = site_with({name: ("new " + name, {"ver": "2"}) for name in names})
        try:
            with harness.Nginx(site) as nginx:
                exe, app_dir = self.installation(UPDATEINFO={"ListURL": nginx.url("novamend.xml")})
                # The user may change the application's files but not its settings
                # file: the updater asks for raised rights, and the copy it starts
                # (under Wine the same user) puts the files in place.
                for name in names:
                    (app_dir / name).write_text("old " + name)
                (app_dir / "novamend.xml").write_text(harness.list_xml([{"path": n, "ver": "1"} for n in names]))
                for path in [app_dir, *app_dir.iterdir()]:
                    if path.name != "novamend.ini":
                        shutil.chown(path, harness.USER, harness.USER)
                journal = app_dir / "__install.journal"
                updater = self.lane.start([exe, "/silence"])
                swapped = lambda: journal.exists() and journal.read_text(errors="replace").count("\ndone\t") >= 20
                self.assertTrue(harness.wait_for(swapped, timeout=120, interval=0.002))
                harness.kill_programs(exe.parent.name)
                updater.wait(timeout=30)
                # A kill between moving the old file aside and the new one in
                # leaves the target missing for a moment: that too is half new.
                states = {(app_dir / n).read_text().split()[0] if (app_dir / n).exists() else "missing" for n in names}
                self.assertGreater(len(states), 1)  # left half new

                self.lane.wine([exe, "/checkforupdates"], timeout=120)
                self.assertEqual([(app_dir / name).read_text() for name in names], ["new " + n for n in names])
                self.assertFalse(journal.exists())
                self.assertEqual(leftovers(app_dir), [])
        finally:
            shutil.rmtree(site, ignore_errors=True)

    def test_an_updater_beside_its_application_updates_its_own_folder(self):
        # As an installer puts it into Program Files: the folder and all in
        # it are root's; downloads go to a folder the user may write.
        name = harness.new_name()
        downloads = self.lane.owned_folder(self.lane.scratch / harness.new_name()[:12])
        settings = {"Novamend": {"ShowWhenCheck": "false", "QuickCheck": "false", "BesideApplication": "1",
                                 "TempPath": "Z:" + str(downloads.resolve()).replace("/", "\\")},
                    "UPDATEINFO": {"ListURL": self.nginx.url("novamend.xml")},
                    "APPLICATION": {"Application": "app.exe", "Name": name}}
        folder = self.lane.scratch / harness.new_name()[:12]
        folder.mkdir()
        exe = folder / "novamend.exe"
        shutil.copyfile(harness.branded_updater(settings), exe)
        (folder / "novamend.ini").write_text(harness.ini_text(settings))
        (folder / "data.txt").write_text("old data")
        (folder / "novamend.xml").write_text(harness.list_xml([{"path": "data.txt", "ver": "1"}]))
        host = harness.HostExample(lane=self.lane)
        try:
            self.lane.wine([exe, "/silence", host.handle], timeout=300)
            # The user's updater asks for raised rights for its own folder;
            # its copy (under Wine the same user) cannot write there either.
            self.assertTrue(harness.wait_for(lambda: host.states().count(13) >= 1 and host.states()[-1] == 13,
                                             timeout=120), host.states())
            self.assertIn("continue update as administrator", host.texts(1975))
        finally:
            host.close()
        harness.kill_programs(folder.name)
        self.assertEqual((folder / "data.txt").read_text(), "old data")
        self.assertFalse((self.lane.drive_c / "Marwenti" / "lumdex" / name).exists())
        # An administrator's run of the same updater updates the folder it lies in.
        self.assertEqual(harness.wine([exe, "/silence"], timeout=120).returncode, 1)
        self.assertEqual((folder / "data.txt").read_text(), "new data")
        self.assertFalse((harness.DRIVE_C / "Marwenti" / "lumdex" / name).exists())

    def test_when_the_elevated_copy_cannot_start_the_cycle_ends(self):
        record = self.lane.owned_folder(self.lane.scratch / harness.new_name()[:12]) / "record.txt"
        waiting = f'"{RECORD_START}" {self.lane.windows_path(record)} --sleep=4000 local'
        exe, app_dir = self.installation(UpdateEventWaitClose={"UpdateCheckLocal": waiting})
        host = harness.HostExample(lane=self.lane)
        try:
            updater = self.lane.start([exe, "/silence", host.handle])
            self.assertTrue(harness.wait_for(lambda: record.exists(), timeout=120))
            # Renamed while it runs: the restart finds no program to start.
            exe.rename(exe.with_name("moved.exe"))
            updater.wait(timeout=120)
            time.sleep(1)
            self.assertEqual(host.states(), [0, 1, 3, 4, 6, 7, 8])
            self.assertIn("continue update as administrator", host.texts(1975))
        finally:
            host.close()


if __name__ == "__main__":
    unittest.main()
