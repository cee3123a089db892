"""The demo: a sample application at version 1.0 is installed and running, an
update to 2.0 is published on a local web server, and novamend.exe with its
embedded default settings checks, downloads, closes the application, replaces
its files, runs the list's action, keeps the new list and starts the
application again, which says its new version. The update runs in the
default mode, in the progress window on the virtual display, of which a
screenshot is saved."""
import re
import shutil
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import harness  # noqa: E402

PORT = 8917  # the port of ListURL in src/res/default.ini
STATE_NAMES = ["UpdateNone", "UpdateCheckRemote", "UpdateCheckRemoteError", "UpdateCheckRemoteOk",
               "UpdateDownload", "UpdateDownloadError", "UpdateDownloadOk", "UpdateCheckLocal",
               "UpdateCheckLocalError", "UpdateCheckLocalOk", "UpdateCopy", "UpdateCopyError", "UpdateCopyOk",
               "UpdateEnd"]


def default_settings():
    text = (ROOT / "src" / "res" / "default.ini").read_text()
    return {k: v for k, v in re.findall(r"^(\w+)=(.*?)\r?$", text, re.M)}


def language_text(table, key):
    """A text of the [MAIN] section of a built-in language table, as in the sources."""
    lines = (ROOT / "src" / "res" / "lang" / table).read_text(encoding="utf-8").splitlines()
    return next(line.split("=", 1)[1] for line in lines if line.startswith(key + "="))


def screenshot_of_window(caption, path):
    """Saves the progress window as it is now; False when it is not shown."""
    record = harness.SCRATCH / "demo-window.txt"
    record.unlink(missing_ok=True)
    found = harness.wine([harness.BIN / "progress_probe.exe", caption, harness.windows_path(record), "wait"],
                         timeout=180, env={"LC_ALL": "C.UTF-8"})
    if found.returncode != 0:
        return False
    box = next(line.split("\t")[1:] for line in record.read_text(encoding="utf-8").splitlines()
               if line.startswith("window"))
    harness.screenshot(path, [int(v) for v in box])
    return True


def app_log(app_dir):
    log = app_dir / "demoapp.log"
    return log.read_text().splitlines() if log.exists() else []


def main():
    settings = default_settings()
    app_dir = harness.application_directory(settings["Name"])
    site = harness.BUILD / "demo" / "site"
    shutil.rmtree(site, ignore_errors=True)
    site.mkdir(parents=True)
    shutil.rmtree(app_dir, ignore_errors=True)
    app_dir.mkdir(parents=True)
    # Downloads a previous demo left would count as done and not be fetched.
    temp = harness.DRIVE_C / "users" / "root" / "Temp"
    work_name = harness.list_digest(settings["ListURL"] + "9999999999")
    shutil.rmtree(temp / work_name, ignore_errors=True)

    # Installed: the application at 1.0 and the list of that release.
    shutil.copyfile(harness.BIN / "demoapp.exe", app_dir / "demoapp.exe")
    (app_dir / "demoapp.ver").write_text("1.0\r\n")
    release_1 = [{"path": "demoapp.exe", "ver": "1.0"}, {"path": "demoapp.ver", "ver": "1.0"}]
    (app_dir / "novamend.xml").write_text(harness.list_xml(release_1))

    # Published: release 2.0 changes the version file, adds a read-me and an
    # action script that notes the release in the application's settings.
    shutil.copyfile(harness.BIN / "demoapp.exe", site / "demoapp.exe")
    (site / "demoapp.ver").write_text("2.0\r\n")
    (site / "readme.txt").write_text("Novamend demo, release 2.0\r\n")
    (site / "release.xml").write_text(
        '<actions><ini file="{app}\\demoapp.ini" app="demo" key="release" value="2.0"/></actions>')
    release_2 = [{"path": "demoapp.exe", "ver": "1.0"}, {"path": "demoapp.ver", "ver": "2.0"},
                 {"path": "readme.txt", "ver": "2.0"}, {"path": "release.xml", "ver": "2.0", "oper": "run"}]
    (site / "novamend.xml").write_text(harness.list_xml(release_2, extra="<description>Release 2.0</description>"))

    exe = harness.BIN / "novamend.exe"
    print(f"Update list published at {settings['ListURL']}")
    print(f"Installed application in {harness.windows_path(app_dir)} (version 1.0)")
    application = harness.start([app_dir / "demoapp.exe", "/stay"])
    harness.wait_for(lambda: app_log(app_dir))
    print(f"The application is running: {app_log(app_dir)[-1]}\n")

    with harness.Nginx(site, port=PORT) as nginx:
        print("novamend.exe /checkforupdates")
        code = harness.wine([exe, "/checkforupdates"], timeout=120).returncode
        print(f"  exit code {code}: {code} files need an update\n")

        # A host window follows the update: its states and log lines.
        host = harness.HostExample()
        try:
            print("novamend.exe /mostsimple  (the default mode: the whole cycle in the progress window,\n"
                  "followed by a host window)")
            updater = harness.start([exe, "/mostsimple", host.handle])
            # The window stays two seconds at 100% after starting the application again.
            harness.wait_for(lambda: 12 in host.states() or updater.poll() is not None, timeout=300)
            # The embedded default chooses the built-in simplified Chinese texts, caption included.
            shot = harness.BUILD / "demo" / "progress-window.png"
            if screenshot_of_window(language_text("novamendcn.lan", "Novamend"), shot):
                print(f"  the progress window on display {harness.display()}, saved as {shot}")
            updater.wait(timeout=120)
            print("  states: " + " > ".join(STATE_NAMES[s] if s < len(STATE_NAMES) else str(s)
                                             for s in host.states()))
            print("  log lines the host received (in the language the default settings choose):")
            for line in host.texts(1975):
                print(f"    {line}")
        finally:
            host.close()
        served = [line.split('"')[1] for line in nginx.access_log().splitlines()]
        print("  requests the web server answered:")
        for request in served:
            print(f"    {request}")

    application.wait(timeout=30)
    harness.wait_for(lambda: any("version 2.0" in line for line in app_log(app_dir)))
    print("\nWhat the application noted:")
    for line in app_log(app_dir):
        print(f"  {line}")
    print("\nThe application directory now:")
    for f in sorted(app_dir.rglob("*")):
        if f.is_file():
            print(f"  {f.relative_to(app_dir)}  ({f.stat().st_size} bytes)")
    ini = app_dir / "demoapp.ini"
    written = " ".join(ini.read_text().split()) if ini.exists() else "(nothing)"
    print(f"\nWritten by the list's action script into demoapp.ini: {written}")
    kept = (app_dir / "novamend.xml").read_text()
    print(f"The comparison copy is the new list: {'release.xml' in kept}")
    version = (app_dir / "demoapp.ver").read_text().strip()
    print(f"\nInstalled version now: {version}")
    if version != "2.0":
        sys.exit("The update did not complete.")


if __name__ == "__main__":
    main()
