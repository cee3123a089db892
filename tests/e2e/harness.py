"""Shared pieces of the end-to-end scenarios: the real novamend.exe under
Wine, branded with a scenario's own settings, against real servers."""
import os
import re
import shutil
import stat
import signal
import socket
import subprocess
import tempfile
import time
import uuid
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("NOVAMEND_BUILD", ROOT / "build"))
BIN = Path(os.environ.get("NOVAMEND_BIN", BUILD / "win"))
WINE_RUN = ROOT / "scripts" / "wine-run"
PREFIX = Path(os.environ.get("WINEPREFIX", BUILD / "wineprefix"))
DRIVE_C = PREFIX / "drive_c"
SCRATCH = DRIVE_C / "novamend-tests"


# The exit code of a cycle that failed (-1): what GetExitCodeProcess gives
# (Installation.exit_code), and the status a Linux parent sees of it.
EXIT_FAILED = 0xFFFFFFFF
STATUS_FAILED = 255


def unix_path(windows_path):
    """The Linux path of a C: path inside the prefix."""
    assert windows_path[:2].upper() == "C:", windows_path
    return DRIVE_C / windows_path[3:].replace("\\", "/")


def windows_path(path):
    """C: for the prefix's drive, Z: (Wine's view of /) for everything else."""
    full = Path(path).resolve()
    try:
        return "C:\\" + str(full.relative_to(DRIVE_C.resolve())).replace("/", "\\")
    except ValueError:
        return "Z:" + str(full).replace("/", "\\")


def display():
    """The X display that wine-run gives this prefix (the same derivation)."""
    if os.environ.get("NOVAMEND_DISPLAY"):
        return os.environ["NOVAMEND_DISPLAY"]
    checksum = subprocess.run(["cksum"], input=str(PREFIX).encode(), capture_output=True, check=True).stdout
    return f":{90 + int(checksum.split()[0]) % 400}"


def screenshot(path, box=None):
    """The virtual display, or the box (left, top, width, height) of it, as a PNG."""
    crop = ["-crop", "{2}x{3}+{0}+{1}".format(*box), "+repage"] if box else []
    subprocess.run(["import", "-display", display(), "-window", "root"] + crop + [str(path)], check=True)


def new_name():
    """A fresh 32-digit application name, so scenarios never share a directory."""
    return uuid.uuid4().hex


def application_directory(name):
    return DRIVE_C / "Marwenti" / "lumdex" / name


def ini_text(sections):
    """INI text with CR LF line ends from {section: {key: value}}."""
    lines = []
    for section, keys in sections.items():
        lines.append(f"[{section}]")
        lines.extend(f"{k}={v}" for k, v in keys.items())
    return "\r\n".join(lines) + "\r\n"


def wine(args, timeout=120, env=None, check=False):
    full_env = dict(os.environ)
    full_env.update(env or {})
    done = subprocess.run([str(WINE_RUN)] + [str(a) for a in args], capture_output=True,
                          timeout=timeout, env=full_env)
    if check and done.returncode != 0:
        # What the program and Wine printed is the only trace of why it failed.
        raise AssertionError(f"{args[0]} ended with {done.returncode}\n"
                             f"stdout: {done.stdout.decode(errors='replace')}\n"
                             f"stderr: {done.stderr.decode(errors='replace')}")
    return done


def branded_updater(settings, directory=None, exe_name="novamend.exe", brand_options=()):
    """A copy of novamend.exe whose embedded default is `settings` (a dict
    or raw text), placed in a fresh folder of the prefix, branded with the
    tool's further options (--caption ...). Returns its Linux path."""
    folder = Path(directory) if directory else SCRATCH / uuid.uuid4().hex[:12]
    folder.mkdir(parents=True, exist_ok=True)
    text = settings if isinstance(settings, (str, bytes)) else ini_text(settings)
    ini = folder / "branding.ini"
    ini.write_bytes(text if isinstance(text, bytes) else text.encode("ascii"))
    target = folder / exe_name
    shutil.copyfile(BIN / "novamend.exe", target)
    wine([BIN / "novamend-tool.exe", "brand", windows_path(target), windows_path(ini)] + list(brand_options),
         check=True)
    ini.unlink()
    return target


def damage_embedded_setting(exe, value, damaged):
    """Puts `damaged` (no longer) for a setting's value inside a branded
    updater, as another resource editor might (brand refuses such settings):
    blanks fill the rest, and the profile functions trim them."""
    data = Path(exe).read_bytes()
    assert data.count(value.encode()) == 1 and len(damaged) <= len(value), value
    Path(exe).write_bytes(data.replace(value.encode(), damaged.encode().ljust(len(value))))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Nginx:
    """nginx serving a folder on 127.0.0.1, as a plain static web server."""

    def __init__(self, root, port=None, extra=""):
        self.root = Path(root)
        self.dir = Path(tempfile.mkdtemp(prefix="nginx-"))
        # A free port can be taken by someone else before nginx binds it:
        # then nginx exits, and another port is tried.
        for _ in range(5):
            self.port = port or free_port()
            if self._start(extra):
                return
            if port:
                break
        raise RuntimeError("nginx did not start")

    def _start(self, extra):
        conf = f"""
daemon off;
user root;
worker_processes 1;
pid {self.dir}/nginx.pid;
error_log {self.dir}/error.log;
events {{ worker_connections 1024; }}
http {{
  access_log {self.dir}/access.log;
  client_body_temp_path {self.dir};
  proxy_temp_path {self.dir};
  fastcgi_temp_path {self.dir};
  uwsgi_temp_path {self.dir};
  scgi_temp_path {self.dir};
  default_type application/octet-stream;
  sendfile on;
  keepalive_timeout 65;
  server {{
    listen 127.0.0.1:{self.port};
    root {self.root};
    {extra}
  }}
}}
"""
        (self.dir / "nginx.conf").write_text(conf)
        self.process = subprocess.Popen(["nginx", "-c", str(self.dir / "nginx.conf"), "-p", str(self.dir)],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 10
        while time.time() < deadline and self.process.poll() is None:
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=0.2).close()
                # Answered, and by this nginx only if it is still running.
                time.sleep(0.05)
                if self.process.poll() is None:
                    return True
            except OSError:
                time.sleep(0.05)
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
        return False

    def url(self, path=""):
        return f"http://127.0.0.1:{self.port}/{path}"

    def access_log(self):
        p = self.dir / "access.log"
        return p.read_text() if p.exists() else ""

    def stop(self):
        self.process.send_signal(signal.SIGQUIT)
        try:
            self.process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.process.kill()
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


def start(args, env=None):
    """Starts a Windows program without waiting; returns the Popen."""
    full_env = dict(os.environ)
    full_env.update(env or {})
    return subprocess.Popen([str(WINE_RUN)] + [str(a) for a in args], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, env=full_env)


def wine_processes(fragment):
    """The ids of the Wine processes whose command line holds the fragment,
    such as a scenario's own folder name."""
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit() or int(entry.name) == os.getpid():
            continue
        try:
            command_line = (entry / "cmdline").read_bytes().decode("utf-8", "replace")
        except OSError:
            continue
        if fragment in command_line and "wine-run" not in command_line:
            yield int(entry.name)


def kill_programs(fragment):
    """Ends at once (as a crash or a kill would) every Wine process whose
    command line holds the fragment."""
    for pid in wine_processes(fragment):
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass


def window_probe(caption, *commands):
    """tests/tools/progress_probe.exe on the updater's window of that
    caption, started; returns it and its record file."""
    record = SCRATCH / f"probe-{uuid.uuid4().hex[:8]}.txt"
    SCRATCH.mkdir(parents=True, exist_ok=True)
    process = start([BIN / "progress_probe.exe", caption, windows_path(record)] + list(commands))
    return process, record


def probe_records(record):
    """The probe's record lines, split at the tabs."""
    return [line.split("\t") for line in record.read_text(encoding="utf-8").splitlines()] if record.exists() else []


def wait_for(condition, timeout=60, interval=0.1):
    """True as soon as condition() is, False when the timeout passed first."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        if condition():
            return True
        time.sleep(interval)
    return condition()


def answer_box(caption, answer, timeout_ms=60000):
    """Answers the next message box with that caption; returns its text, or
    None when none appeared."""
    record = SCRATCH / f"box-{uuid.uuid4().hex[:8]}.txt"
    SCRATCH.mkdir(parents=True, exist_ok=True)
    result = wine([BIN / "answer_box.exe", caption, answer, windows_path(record), timeout_ms],
                  timeout=timeout_ms / 1000 + 30)
    if result.returncode != 0:
        return None
    text = record.read_bytes().decode("utf-8")
    record.unlink()
    return text


def list_digest(text):
    """The per-list file name the updater derives from its list address."""
    seed = "NVMEND2011"
    units = text.encode("utf-16-le")
    s = [int.from_bytes(units[i:i + 2], "little") for i in range(0, len(units), 2)]
    acc = [ord(c) for c in seed]
    if s:
        for i in range(10):
            for j in range(len(s)):
                acc[i] = (acc[i] + s[j] + s[j // 2] + i + j) % 199
    digits = "".join("0123456789ABCDEF"[a % 16] for a in acc)
    return digits[:4] + "-" + digits[4:]


def list_xml(files, root="update", extra=""):
    """An update list: files is a list of dicts of attributes (path, ver ...)."""
    from xml.sax.saxutils import quoteattr
    items = "".join("<file " + " ".join(f"{k}={quoteattr(str(v))}" for k, v in f.items()) + "/>"
                    for f in files)
    return f'<?xml version="1.0" encoding="utf-8"?><{root}>{extra}{items}</{root}>'


def one_file_site(prefix):
    """A fresh site folder with big.bin (300,000 random bytes) at version 2 in
    its novamend.xml; returns the folder and the file's bytes."""
    site = Path(tempfile.mkdtemp(prefix=prefix))
    content = os.urandom(300_000)
    (site / "big.bin").write_bytes(content)
    (site / "novamend.xml").write_text(list_xml([{"path": "big.bin", "ver": "2"}]))
    return site, content


class Installation:
    """An installed application with its own branded updater: the
    application directory, the comparison copy and the served site."""

    def __init__(self, list_url, novamend=None, application=None, brand_options=(), **sections):
        self.name = new_name()
        self.app_dir = application_directory(self.name)
        self.app_dir.mkdir(parents=True, exist_ok=True)
        settings = {"Novamend": {"ShowWhenCheck": "false", "QuickCheck": "false", "Log": "novamend.log",
                                 "TempAppPath": "1", **(novamend or {})},
                    "UPDATEINFO": {"ListURL": list_url},
                    "APPLICATION": {"Application": "app.exe", "Name": self.name, **(application or {})}}
        settings.update(sections)
        self.settings = settings
        self.exe = branded_updater(settings, brand_options=brand_options)

    @property
    def work_dir(self):
        """The list work directory (TempAppPath puts it in the application directory)."""
        return self.app_dir / list_digest(self.settings["UPDATEINFO"]["ListURL"] + "9999999999")

    def install_list(self, xml):
        (self.app_dir / "novamend.xml").write_text(xml, encoding="utf-8")

    def run(self, *args, timeout=120):
        return wine([self.exe] + list(args), timeout=timeout)

    def start(self, *args):
        return start([self.exe] + list(args))

    def kill(self):
        """Ends this installation's updater processes at once."""
        kill_programs(self.exe.parent.name)

    def exit_code(self, *args, timeout=120):
        """The updater's whole 32-bit exit code."""
        record = SCRATCH / f"exit-{uuid.uuid4().hex[:8]}.txt"
        wine([BIN / "run_and_report.exe", windows_path(record), windows_path(self.exe)] + list(args),
             timeout=timeout, check=True)
        code = int(record.read_text())
        record.unlink()
        return code

    def log(self):
        p = self.app_dir / "novamend.log"
        return p.read_bytes().decode("cp1252", errors="replace") if p.exists() else ""


USER = "novamend-user"


class UserLane:
    """Wine run by an ordinary user (made by scripts/setup) in a prefix of its
    own, for what root cannot show: files and folders it may not write."""

    def __init__(self):
        self.build = BUILD / "user-lane"
        self.build.mkdir(parents=True, exist_ok=True)
        shutil.chown(self.build, USER, USER)
        # The user must reach the scripts and programs of this checkout, which
        # may sit below a folder only root may enter (a private temporary
        # folder, say): such folders are opened for passing through, not for
        # listing.
        for folder in [BUILD, *BUILD.parents]:
            mode = folder.stat().st_mode
            if not mode & stat.S_IXOTH:
                folder.chmod(mode | stat.S_IXOTH)
        self.drive_c = self.build / "wineprefix" / "drive_c"
        subprocess.run(self.command(["--prepare"]), check=True, timeout=300, capture_output=True)
        self.scratch = self.drive_c / "novamend-tests"
        self.owned_folder(self.scratch)

    @staticmethod
    def available():
        return os.geteuid() == 0 and subprocess.run(["id", USER], capture_output=True).returncode == 0

    def command(self, args):
        return ["setpriv", f"--reuid={USER}", f"--regid={USER}", "--init-groups", "env", f"HOME=/home/{USER}",
                f"USER={USER}", f"NOVAMEND_BUILD={self.build}", str(WINE_RUN)] + [str(a) for a in args]

    def owned_folder(self, folder):
        """A folder of the prefix the user may write."""
        folder.mkdir(parents=True, exist_ok=True)
        shutil.chown(folder, USER, USER)
        return folder

    def wine(self, args, timeout=120):
        return subprocess.run(self.command(args), capture_output=True, timeout=timeout)

    def start(self, args):
        return subprocess.Popen(self.command(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def windows_path(self, path):
        full = Path(path).resolve()
        try:
            return "C:\\" + str(full.relative_to(self.drive_c.resolve())).replace("/", "\\")
        except ValueError:
            return windows_path(full)

    def stop(self):
        subprocess.run(self.command(["--stop"]), capture_output=True, timeout=60)


def host_example_ids():
    """The control identifiers of the example host's window, from its header."""
    text = (ROOT / "examples" / "host" / "host_example.h").read_text()
    return {name: int(number) for name, number in re.findall(r"#define (IDC_\w+) (\d+)", text)}


class HostExample:
    """examples/host/host_example.exe, the example host, with its trace of
    every message it received. Scenarios work its window as a user would
    (press its button and check boxes, close it) through progress_probe.exe,
    or start an updater of their own with its handle. With a user lane, the
    host runs there."""

    IDS = host_example_ids()

    def __init__(self, updater=None, mode=None, lane=None):
        self.lane = lane
        scratch = lane.owned_folder(lane.scratch) if lane else SCRATCH
        self.to_windows = lane.windows_path if lane else windows_path
        self.dir = scratch / ("host-" + uuid.uuid4().hex[:10])
        self.dir.mkdir(parents=True)
        if lane:
            lane.owned_folder(self.dir)
        self.record = self.dir / "trace.txt"
        arguments = ["--trace", self.to_windows(self.record)]
        if updater:
            arguments += ["--updater", self.to_windows(updater)]
        if mode:
            arguments += ["--mode", mode]
        self.process = (lane.start if lane else start)([BIN / "host_example.exe"] + arguments)
        if not wait_for(lambda: any(line[0] == "window" for line in self.lines()), timeout=30):
            raise RuntimeError("the example host did not start")
        self.handle = next(line[1] for line in self.lines() if line[0] == "window")

    def probe(self, *commands):
        """progress_probe.exe on this window; returns its record lines."""
        record = self.dir / f"probe-{uuid.uuid4().hex[:6]}.txt"
        arguments = [BIN / "progress_probe.exe", "#" + self.handle, self.to_windows(record)] + list(commands)
        done = self.lane.wine(arguments) if self.lane else wine(arguments)
        lines = probe_records(record)
        if done.returncode != 0:
            raise AssertionError(f"probe {commands} ended with {done.returncode}: {lines}")
        return lines

    def press(self, control):
        self.probe("press", self.IDS[control])

    def shown(self, control):
        """The text the window shows in a control."""
        return next(line[2] for line in self.probe("text", self.IDS[control], "-") if line[0] == "text")

    def lines(self):
        """The trace's whole lines, split at the tabs."""
        if not self.record.exists():
            return []
        text = self.record.read_text(encoding="utf-8")
        return [line.split("\t") for line in text[:text.rfind("\n") + 1].splitlines()]

    def states(self):
        return [int(line[1]) for line in self.lines() if line[0] == "1974"]

    def texts(self, message):
        return [line[-1] for line in self.lines() if line[0] == str(message)]

    def exit_code(self):
        """The exit code of the updater the host started, once it has ended."""
        codes = [int(line[1]) for line in self.lines() if line[0] == "exit"]
        return codes[-1] if codes else None

    def close(self):
        if self.process.poll() is None:
            self.probe("close")
            try:
                self.process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.process.kill()
