#!/usr/bin/env python3
"""The Windows program as a secretary meets it, under wine on a real X display with a tray.

Installs the package with its installer in silent mode into a throwaway wine prefix, runs it
against kestaro-server on 127.0.0.1, and acts through the screen, the keyboard, the server's API
and wine's registry. Prints the figures it measures. Usage: windows_test.py SETUP SERVER
"""
import glob
import os
import re
import signal
import subprocess
import sys
import time

from desktop_test import Desktop, KestaroServer, Server, wait_for

TITLE = "طلبات الشهادات المدرسية"
WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestaro"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
# What Windows itself provides: never shipped, never counted as the program's.
SYSTEM = re.compile(r"^c:\\windows\\", re.IGNORECASE)


class Wine:
    def __init__(self, desktop):
        self.desktop = desktop
        self.env = dict(desktop.env)
        self.env.update(WINEPREFIX=os.path.join(desktop.work, "wine"), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")

    def run(self, *args, timeout=120, env=None):
        return subprocess.run([WINE, *args], env=env or self.env, capture_output=True,
                              text=True, timeout=timeout)

    def start(self, *args, **options):
        return self.desktop.start(WINE, *args, env=self.env, **options)

    def unix(self, *parts):
        return os.path.join(self.env["WINEPREFIX"], "drive_c", *parts)

    def run_value(self):
        out = self.run("reg", "query", RUN_KEY, "/v", "KestaroZelvan").stdout
        match = re.search(r"KestaroZelvan\s+REG_SZ\s+(.*)", out)
        return match and match.group(1).strip()

    def stop(self):
        subprocess.run([WINESERVER, "-k"], env=self.env, capture_output=True)


def tray_shows_icon(desktop):
    """Whether the tray holds a drawn icon: more colours than the tray's own plain background."""
    tray = desktop.windows("--class", "trayer")[0]
    shot = subprocess.run(["import", "-window", str(tray), "ppm:-"], env=desktop.env,
                          capture_output=True, check=True).stdout
    # A binary PPM: "P6", width, height and the largest value, then the pixels' bytes.
    header = shot.split(maxsplit=4)
    pixels = header[4]
    colours = {pixels[i:i + 3] for i in range(0, len(pixels) - 2, 3)}
    return len(colours) > 8


def main(setup, server_program):
    desktop = Desktop()
    wine = None
    try:
        desktop.start_display()
        wine = Wine(desktop)
        wine.run("wineboot", "-i", timeout=300)

        # 0. On Windows 7 (which Qt 6 does not run on) the installer refuses before it copies
        # anything, and says so in its exit code.
        wine.run("winecfg", "-v", "win7")
        refused = wine.run(setup, "/S")
        assert refused.returncode == 3, refused.returncode
        assert not glob.glob(wine.unix("users", "*", "AppData", "Local", "Programs", "Kestaro")), \
            "installed on Windows 7"
        wine.run("winecfg", "-v", "win10")
        print("ok 0 on Windows 7 the installer refuses and installs nothing")

        start = time.monotonic()
        wine.run(setup, "/S")
        home = glob.glob(wine.unix("users", "*", "AppData", "Local", "Programs", "Kestaro"))
        assert home and os.path.exists(os.path.join(home[0], "kestaro-zelvan.exe")), "installed"
        folder = home[0]
        program = os.path.join(folder, "kestaro-zelvan.exe")
        print(f"ok 1 the installer installs for the user alone in "
              f"{time.monotonic() - start:.1f} s")

        kestaro = KestaroServer(desktop, server_program, "server", "--seed", "12", "--log-requests")
        server_log, port = kestaro.said, kestaro.port
        server = Server(port)
        ini = os.path.join(folder, "kestaro-zelvan.ini")
        with open(ini, "w") as f:
            f.write(f"[Connection]\nServerHost=127.0.0.1\nServerPort={port}\n"
                    "[Options]\nPollInterval=5\nSoundEnabled=0\n")

        loader = open(os.path.join(desktop.work, "loader.log"), "w+")
        traced = dict(wine.env, WINEDEBUG="+loaddll")
        start = time.monotonic()
        client = desktop.start(WINE, program, env=traced, stdout=subprocess.DEVNULL,
                               stderr=loader)
        window = wait_for(lambda: desktop.windows("--name", TITLE), "the main window", 60)[0]
        to_window = time.monotonic() - start
        agent = '"Zelvan/1.0"'
        for route in ("POST /api/login", "GET /api/certificates/requests/count",
                      "GET /api/certificates/requests "):
            wait_for(lambda: f"request {route}" in server_log(), route, 30)
        to_poll = time.monotonic() - start
        lines = [l for l in server_log().splitlines()
                 if l.startswith("request ") and "Python-urllib" not in l]  # the test's own
        assert all(l.endswith(agent) for l in lines), lines
        width, height = desktop.geometry(window)[2:]
        assert (width, height) == (1000, 650), (width, height)
        wait_for(lambda: tray_shows_icon(desktop), "the tray icon", 20)
        print(f"ok 2 the window appears with its title and a client area of 1000x650 in "
              f"{to_window:.1f} s; the first poll (login, counts, list) reached the server as "
              f"Zelvan/1.0 in {to_poll:.1f} s")

        # The program's own DLLs it loaded are exactly those shipped, and it loads no other
        # that Windows does not provide.
        loader.seek(0)
        names = [n.replace("\\\\", "\\") for n in
                 re.findall(r'Loaded L"([^"]+\.dll)" at \w+: native', loader.read(), re.I)]
        mine = {n.lower().split("\\kestaro\\", 1)[1].replace("\\", "/")
                for n in names if "\\kestaro\\" in n.lower()}
        others = [n for n in names if "\\kestaro\\" not in n.lower() and not SYSTEM.match(n)]
        shipped = {os.path.relpath(p, folder).lower() for p in
                   glob.glob(os.path.join(folder, "**", "*.dll"), recursive=True)}
        assert mine == shipped and not others, (sorted(mine), sorted(shipped), others)
        print("ok 3 it loads exactly the DLLs shipped:", ", ".join(sorted(shipped)))

        # Complete the first pending request.
        first = server.call("/api/certificates/requests?status=pending")[0]["id"]
        desktop.click(window, 500, 215)
        desktop.click(window, 654, 620)
        wait_for(lambda: server.request(first)["status"] == "completed", "the completion", 20)
        print("ok 4 completing the first pending request reaches the server")

        # A new request: the alert path runs; wine may or may not draw a balloon.
        windows_before = set(desktop.windows("--name", ""))
        polls = server_log().count("requests/count")
        server.post("/api/certificates/requests", {"student_name": "سارة", "class_name": "1AM"})
        wait_for(lambda: server_log().count("requests/count") >= polls + 2, "two more polls", 20)
        assert client.poll() is None, "the program ended on the alert"
        balloon = set(desktop.windows("--name", "")) - windows_before
        print("ok 5 a new request is announced",
              "(wine shows a balloon window)" if balloon else "(wine shows no balloon window)")

        # Settings: the interval saved with Enter beside the .exe, start at login in the registry.
        desktop.click(window, 72, 33)
        dialog = wait_for(lambda: desktop.windows("--name", "إعدادات الاتصال بالسيرفر"),
                          "the settings dialog", 20)[0]
        desktop.click(dialog, 80, 55 + 170)
        desktop.keys("ctrl+a")
        desktop.run("xdotool", "type", "7")
        desktop.click(dialog, 220, 55 + 246)  # start at login
        desktop.keys("Return")
        wait_for(lambda: "PollInterval=7" in open(ini).read(), "the interval beside the .exe", 20)
        value = wait_for(wine.run_value, "the Run value", 20)
        assert re.fullmatch(r'"C:\\users\\[^\\]+\\AppData\\Local\\Programs\\Kestaro\\'
                            r'kestaro-zelvan\.exe"', value, re.IGNORECASE), value
        print("ok 6 Save writes the file beside the .exe and the Run value", value)

        # The tray's exit item ends the program.
        tray = desktop.windows("--class", "trayer")[0]
        # Wine's tray answers a press and a release apart, as a person clicks.
        desktop.run("xdotool", "mousemove", "--window", str(tray), "14",
                    str(desktop.geometry(tray)[3] // 2))
        time.sleep(0.5)
        desktop.run("xdotool", "mousedown", "3")
        time.sleep(0.2)
        desktop.run("xdotool", "mouseup", "3")
        time.sleep(1.0)
        desktop.keys("Up", "Return")
        try:
            wait_for(lambda: client.poll() is not None, "the program to end", 15)
            print("ok 7 the tray's exit item ends the program")
        except AssertionError:
            client.kill()
            raise

        # 7b. Started by its path in capitals or by its short (8.3) name, the program is the
        # installed copy to a start from the installed path (which shows it: no second copy
        # runs) and to --quit (exit code 3).
        windows_program = wine.run("winepath", "-w", program).stdout.strip()
        short = wine.run("winepath", "-s", windows_program).stdout.strip()
        assert short.lower() != windows_program.lower(), short
        for spelling in (windows_program.upper(), short):
            copy = wine.start(spelling, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            wait_for(lambda: desktop.windows("--name", TITLE), f"the copy started as {spelling}",
                     60)
            try:
                wine.run(program, timeout=30)  # shows the running copy and ends
            except subprocess.TimeoutExpired:
                raise AssertionError(f"a second copy runs beside {spelling}") from None
            assert len(desktop.windows("--name", TITLE)) == 1, "a second copy runs"
            start = time.monotonic()
            asked = wine.run(program, "--quit", timeout=30)
            took = time.monotonic() - start
            if asked.returncode != 3:
                try:
                    copy.wait(60)
                    ended = f"{time.monotonic() - start:.1f} s after it was asked"
                except subprocess.TimeoutExpired:
                    ended = "not within a minute"
                raise AssertionError(f"--quit gave {asked.returncode} after {took:.1f} s "
                                     f"({asked.stderr.strip()}); the copy ended {ended}")
            wait_for(lambda: copy.poll() is not None, f"the copy started as {spelling} to end", 15)
        print("ok 7b a copy started by its path in capitals or its short name is the installed "
              "one to a second start and to --quit")

        # With its folder made read-only, the program still starts and saves to the user's own
        # file, which starts from the one beside it.
        if subprocess.run(["chattr", "+i", folder], capture_output=True).returncode == 0:
            desktop.locked.append(folder)
            own = glob.glob(wine.unix("users", "*", "AppData", "Local"))[0]
            own = os.path.join(own, "kestaro", "kestaro-zelvan.ini")
            client = wine.start(program, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            window = wait_for(lambda: desktop.windows("--name", TITLE), "the window again", 60)[0]
            wait_for(lambda: tray_shows_icon(desktop), "the tray icon on this start", 20)
            desktop.click(window, 72, 33)
            wait_for(lambda: desktop.windows("--name", "إعدادات الاتصال بالسيرفر"),
                     "the settings dialog", 20)
            desktop.keys("Return")
            wait_for(lambda: os.path.exists(own) and f"ServerPort={port}" in open(own).read(),
                     "the user's own file", 20)
            client.kill()
            wine.stop()
            subprocess.run(["chattr", "-i", folder], capture_output=True)
            print("ok 8 with its folder read-only it starts and saves to", own.split("drive_c")[1])
        else:
            print("skip 8 this file system cannot lock a folder")

        # An upgrade keeps the file; the uninstaller removes the program and its start at login.
        saved = open(ini).read()
        wine.run(setup, "/S")
        assert open(ini).read() == saved, "the upgrade changed the file"
        windows_folder = "C:" + folder.split("drive_c", 1)[1].replace("/", "\\")
        wine.run(os.path.join(folder, "uninstall.exe"), "/S", "_?=" + windows_folder)
        assert not os.path.exists(program), "the program is still there"
        assert os.path.exists(ini) and open(ini).read() == saved, "the file is gone"
        assert wine.run_value() is None, "the Run value is still there"
        print("ok 9 an upgrade keeps the file; uninstalling removes the program and the Run "
              "value and keeps the file")

        # 10. What Windows and the user see of the installation: the licences of what ships beside
        # the program, its size in the installed programs' list, the program's manifest; and an
        # uninstall leaves the start at login of another copy of the program alone.
        wine.run(setup, "/S")
        for name in ("THIRD-PARTY.txt", "licenses/LGPL-3.txt", "licenses/GPL-3.txt",
                     "licenses/curl-copyright.txt"):
            assert os.path.isfile(os.path.join(folder, name)), f"{name} is not installed"
        size = wine.run("reg", "query", UNINSTALL_KEY, "/v", "EstimatedSize").stdout
        assert re.search(r"EstimatedSize\s+REG_DWORD\s+0x[0-9a-f]*[1-9a-f]", size), size
        assert b"PerMonitorV2" in open(program, "rb").read(), "the program has no manifest"
        other = '"C:\\Portable\\Kestaro\\kestaro-zelvan.exe"'
        wine.run("reg", "add", RUN_KEY, "/v", "KestaroZelvan", "/d", other, "/f")
        wine.run(os.path.join(folder, "uninstall.exe"), "/S", "_?=" + windows_folder)
        assert not os.path.exists(os.path.join(folder, "licenses")), "the licences stay"
        assert wine.run_value() == other, "another copy's start at login was removed"
        print("ok 10 licences, size and manifest; another copy's start at login is kept")

        # 11. An upgrade while the program runs, the usual case for a program in the tray: the
        # running copy is asked to end, the new files go in, and the program runs again.
        wine.run(setup, "/S")
        client = wine.start(program, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: desktop.windows("--name", TITLE), "the installed program's window", 60)
        os.utime(program, (0, 0))  # the old file, which the upgrade must replace
        start = time.monotonic()
        # Not through wine.run: the program the installer starts again would hold its output open.
        upgrade = subprocess.run([WINE, setup, "/S"], env=wine.env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL, timeout=120)
        took = time.monotonic() - start
        assert upgrade.returncode == 0, upgrade
        assert os.path.getmtime(program) > 0, "the program's file was not replaced"
        wait_for(lambda: client.poll() is not None, "the old copy to end", 30)
        wait_for(lambda: desktop.windows("--name", TITLE), "the program to run again", 60)
        wait_for(lambda: tray_shows_icon(desktop), "the tray icon after the upgrade", 20)
        assert open(ini).read() == saved, "the upgrade changed the file"
        print(f"ok 11 an upgrade while the program runs ends it, replaces its files and starts "
              f"it again in {took:.1f} s")

        # 12. The registered silent uninstall reports what it did: with the running copy stopped
        # (it cannot end) nothing is removed and the exit code is 2; running, the copy is ended
        # and everything goes but the file, the uninstaller included, with exit code 0.
        quiet = wine.run("reg", "query", UNINSTALL_KEY, "/v", "QuietUninstallString").stdout
        uninstaller, options = re.search(r'REG_SZ\s+"([^"]+)" (.*)', quiet).groups()
        uninstall = [uninstaller, *options.split(" ", 1)]
        running = wait_for(lambda: subprocess.run(["pgrep", "-f", r"kestaro-zelvan\.exe"],
                                                  capture_output=True, text=True).stdout.split(),
                           "the running copy's process")
        for pid in running:
            os.kill(int(pid), signal.SIGSTOP)
        try:
            refused = wine.run(*uninstall, timeout=120)
        finally:
            for pid in running:
                os.kill(int(pid), signal.SIGCONT)
        assert refused.returncode == 2, refused.returncode
        assert os.path.exists(program), "removed while it runs"
        assert "InstallLocation" in wine.run("reg", "query", UNINSTALL_KEY).stdout, "entry gone"
        gone = wine.run(*uninstall, timeout=120)
        assert gone.returncode == 0, (gone.returncode, sorted(os.listdir(folder)))
        wait_for(lambda: not desktop.windows("--name", TITLE), "the program to end", 30)
        assert not os.path.exists(program), "the program is still there"
        wait_for(lambda: not os.path.exists(os.path.join(folder, "uninstall.exe")),
                 "the uninstaller to be removed", 15)
        assert wine.run("reg", "query", UNINSTALL_KEY).returncode != 0, "the entry stays"
        assert open(ini).read() == saved, "the file is gone"
        print("ok 12 the registered silent uninstall says 2 and removes nothing while the program "
              "cannot be ended, then 0 when it ends it and removes it")

        # 13. A second installation in another folder is refused while the first is there.
        wine.run(setup, "/S")
        second = wine.unix("Kestaro2", "kestaro-zelvan.exe")
        refused = wine.run(setup, "/S", "/D=C:\\Kestaro2")
        assert refused.returncode == 4 and not os.path.exists(second), refused.returncode
        assert windows_folder.lower() in wine.run("reg", "query", UNINSTALL_KEY).stdout.lower()
        wine.run(*uninstall, timeout=120)
        assert wine.run(setup, "/S", "/D=C:\\Kestaro2").returncode == 0
        assert os.path.exists(second), "not installed once the first was removed"
        print("ok 13 a second installation is refused (exit code 4) while the first is there")
        print("15 passed, 0 failed")
        return 0
    finally:
        if wine:
            wine.stop()
        desktop.close()


if __name__ == "__main__":
    sys.exit(main(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])))
