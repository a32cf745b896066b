"""Drives the real program under Wine on a private Xvfb display.

Input is real pointer input through the X server (xdotool); what the user
would see is read back from screenshots and, for texts and states, from
norvale_probe.exe, which runs on the same virtual desktop and only reads.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

SCREEN = (1600, 1200)


def _free_display():
    for n in range(151, 250):
        if not os.path.exists(f"/tmp/.X{n}-lock") and not os.path.exists(f"/tmp/.X11-unix/X{n}"):
            return n
    raise RuntimeError("no free X display")


class Display:
    """One Xvfb server, stopped by its own process id."""

    def __init__(self):
        n = _free_display()
        self.name = f":{n}"
        self.proc = subprocess.Popen(
            ["Xvfb", self.name, "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24", "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(f"/tmp/.X11-unix/X{n}"):
                return
            time.sleep(0.05)
        raise RuntimeError("Xvfb did not start")

    def stop(self):
        self.proc.terminate()
        self.proc.wait(timeout=10)


class Screenshot:
    def __init__(self, display):
        raw = subprocess.run(["import", "-display", display, "-window", "root", "-depth", "8", "rgb:-"],
                             check=True, stdout=subprocess.PIPE).stdout
        self.width, self.height = SCREEN
        self.data = raw

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def region(self, left, top, right, bottom):
        return [self.pixel(x, y) for y in range(top, bottom) for x in range(left, right)]

    def count_near(self, colour, left, top, right, bottom, tolerance=24):
        return sum(1 for p in self.region(left, top, right, bottom)
                   if max(abs(p[k] - colour[k]) for k in range(3)) <= tolerance)

    def save(self, path):
        subprocess.run(["convert", "-size", f"{self.width}x{self.height}", "-depth", "8", "rgb:-", path],
                       input=self.data, check=True)


class Session:
    """The desktop named "shell" (it has a taskbar with a notification area)
    with one program started on it."""

    def __init__(self, harness, exe="norvale.exe", env=None, dpi=96, exit_code_file=None, output=None):
        self.h = harness
        self.exe = exe
        self.output = output  # a file for what Wine prints (the trace, with WINEDEBUG=warn+seh)
        self.exit_code_file = exit_code_file
        self.env = dict(harness.env)
        self.env.update(env or {})
        self.dpi = dpi

    def wine(self, *args, check=False, timeout=60):
        return subprocess.run(["wine", *args], env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              timeout=timeout, check=check)

    def __enter__(self):
        # Wine's desktop very rarely fails to come up on a loaded machine
        # right after the previous test's wineserver went: one more try, from
        # nothing, before the test is failed.
        for attempt in range(2):
            try:
                return self._start()
            except AssertionError:
                self.keep_evidence("start")
                self.h.kill_wine()
                if attempt == 1:
                    raise
        return self

    def _start(self):
        self.h.kill_wine()
        self.wine("reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d",
                  str(self.dpi), "/f")
        program = [os.path.join(self.h.build, self.exe)]
        if self.exit_code_file:
            if os.path.exists(self.exit_code_file):
                os.unlink(self.exit_code_file)
            exe = "Z:" + program[0].replace("/", "\\")
            program = [os.path.join(self.h.build, "norvale_probe.exe"), "run", exe,
                       "Z:" + self.exit_code_file.replace("/", "\\")]
        sink = open(self.output, "wb") if self.output else subprocess.DEVNULL
        self.proc = subprocess.Popen(
            ["wine", "explorer", f"/desktop=shell,{SCREEN[0]}x{SCREEN[1]}", *program],
            env=self.env, stdout=subprocess.DEVNULL, stderr=sink)
        if self.output:
            sink.close()
        # Before any probe comes and goes on the desktop (see HoldDesktop).
        self.holder = subprocess.Popen(["wine", os.path.join(self.h.build, "norvale_probe.exe"), "hold-desktop"],
                                       env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        check(self.holder.stdout.readline().strip() == b'{"held":1}', "the desktop did not come")
        self.wait(lambda: self.window().get("visible") == 1, "the main window to appear", 40)
        return self

    def keep_evidence(self, what):
        """What the screen, the dialogs and the Wine processes looked like,
        next to the test's other artifacts."""
        base = os.path.join(self.h.artifacts, f"{self.h.current}-{what}")
        try:
            self.shot().save(base + ".png")
        except Exception:
            pass
        with open(base + ".txt", "w") as out:
            processes = subprocess.run(["ps", "-eo", "pid,etime,stat,args"], stdout=subprocess.PIPE, text=True).stdout
            out.write("".join(line + "\n" for line in processes.splitlines() if "wine" in line.lower() or "exe" in line))
            try:
                out.write(json.dumps(self.dialogs(), ensure_ascii=False) + "\n")
            except Exception as error:
                out.write(f"dialogs: {error}\n")

    def __exit__(self, exc_type, exc, trace):
        if exc_type is not None:
            self.keep_evidence("failed")
        self.h.kill_wine()
        if self.dpi != 96:
            self.wine("reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d", "96",
                      "/f")
            self.h.kill_wine()
        return False

    def probe(self, *args):
        out = self.wine(os.path.join(self.h.build, "norvale_probe.exe"), *args).stdout.decode("utf-8", "replace")
        return json.loads(out) if out.strip() else None

    def window(self):
        return self.probe("window") or {}

    def controls(self):
        return {c["id"]: c for c in (self.probe("controls") or []) if c["id"] > 0}

    def list_rows(self, control_id):
        # The probe can come back empty-handed on a loaded machine (seen once
        # in five runs with both cores busy); the list is there, so ask again.
        end = time.time() + 10
        while True:
            rows = self.probe("list", str(control_id))
            if rows is not None or time.time() > end:
                return rows
            time.sleep(0.2)

    def dialogs(self):
        return self.probe("dialogs") or []

    def wait(self, condition, what, timeout=30):
        end = time.time() + timeout
        while time.time() < end:
            try:
                if condition():
                    return
            except Exception:
                pass
            time.sleep(0.25)
        raise AssertionError(f"timed out waiting for {what}")

    def shot(self):
        return Screenshot(self.h.display.name)

    def xdo(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=True)

    def click(self, x, y, button=1):
        self.xdo("mousemove", str(x), str(y), "click", str(button))
        time.sleep(0.3)

    def double_click(self, x, y):
        # Two presses well inside the double-click time: the second arrives
        # as a double-click, not as a click.
        self.xdo("mousemove", str(x), str(y), "click", "--repeat", "2", "--delay", "60", "1")
        time.sleep(0.3)

    def click_client(self, x, y, button=1):
        c = self.window()["client"]
        self.click(c[0] + x, c[1] + y, button)

    def click_control(self, control_id):
        r = self.controls()[control_id]["rect"]
        self.click((r[0] + r[2]) // 2, (r[1] + r[3]) // 2)

    def dialog(self, timeout=20):
        found = []
        self.wait(lambda: found.append(self.dialogs()[0]) or True, "a dialog", timeout)
        return found[-1]

    def answer(self, dialog, button_id):
        for child in dialog["children"]:
            if child["id"] == button_id and child["class"].lower() == "button":
                r = child["rect"]
                self.click((r[0] + r[2]) // 2, (r[1] + r[3]) // 2)
                return
        raise AssertionError(f"no button {button_id} in {dialog}")

    def tray_icons(self):
        """Centres of the program's icons in the taskbar's notification area,
        found by the icon's blue in the taskbar's right end."""
        shot = self.shot()
        top, bottom = SCREEN[1] - 20, SCREEN[1]
        columns = []
        for x in range(SCREEN[0] - 300, SCREEN[0]):
            blue = sum(1 for y in range(top, bottom) if max(abs(a - b) for a, b in zip(shot.pixel(x, y), (0, 120, 212))) < 40)
            columns.append(blue >= 3)
        icons, start = [], None
        for i, on in enumerate(columns + [False]):
            if on and start is None:
                start = i
            elif not on and start is not None:
                if i - start >= 4:
                    icons.append((SCREEN[0] - 300 + (start + i) // 2, (top + bottom) // 2))
                start = None
        return icons

    def close_window(self):
        """The title bar's close box, clicked."""
        r = self.window()["rect"]
        self.click(r[2] - 14, r[1] + 12)


class Harness:
    def __init__(self, build):
        self.build = build
        self.display = Display()
        self.env = dict(os.environ)
        self.env["DISPLAY"] = self.display.name
        self.env.setdefault("WINEDEBUG", "-all")
        self.env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
        self.passed = 0
        self.failed = 0
        self.artifacts = os.path.join(os.path.dirname(build.rstrip("/")), "gui-artifacts")
        os.makedirs(self.artifacts, exist_ok=True)

    def after_test(self, cleanup):
        """Runs cleanup once the current test is over, passed or failed."""
        self.cleanups.append(cleanup)

    def kill_wine(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL)

    def c_drive(self):
        return os.path.join(self.env["WINEPREFIX"], "drive_c")

    def profile(self):
        users = os.path.join(self.c_drive(), "users")
        names = [n for n in sorted(os.listdir(users)) if n.lower() != "public" and not os.path.islink(os.path.join(users, n))]
        return os.path.join(users, names[0])

    def local_app_data(self):
        return os.path.join(self.profile(), "AppData", "Local")

    def temp(self):
        return os.path.join(self.profile(), "Temp")

    def run(self, tests, only=None):
        for test in tests:
            name = test.__name__
            if only and only not in name:
                continue
            started = time.time()
            self.current = name
            self.cleanups = []
            try:
                test(self)
                self.passed += 1
                print(f"PASS {name} ({time.time() - started:.1f}s)", flush=True)
            except Exception as error:  # a failing check or a broken scenario
                self.failed += 1
                print(f"FAIL {name}: {error}", flush=True)
                traceback.print_exc()
            finally:
                for cleanup in self.cleanups:
                    cleanup()
        self.kill_wine()
        self.display.stop()
        print(f"{self.passed} passed, {self.failed} failed")
        return 0 if self.failed == 0 else 1


def write_file(path, size, content=None):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        if content is not None:
            f.write(content)
        else:
            f.truncate(size)


def empty_folder(path):
    if os.path.islink(path):
        os.unlink(path)  # never anything outside the prefix
    elif os.path.isdir(path):
        shutil.rmtree(path)
    os.makedirs(path, exist_ok=True)


def windows_path(path):
    """A path below the prefix's drive_c as the program sees it."""
    drive_c = os.path.join(os.environ["WINEPREFIX"], "drive_c")
    return "C:\\" + os.path.relpath(path, drive_c).replace("/", "\\")


def check(condition, message):
    if not condition:
        text = str(message)
        raise AssertionError(text if len(text) < 600 else text[:600] + " ...")


def near(colour, expected, tolerance=2):
    return all(abs(colour[k] - expected[k]) <= tolerance for k in range(3))


def type_save_path(s, path):
    """The Linux path, as Wine's Z: drive names it, typed over the name the
    open save dialog suggests, then Return."""
    box = s.dialog()
    check(box["title"] == "导出", box["title"])
    time.sleep(0.5)
    s.xdo("key", "Home", "shift+End")
    s.xdo("type", "--delay", "30", "Z:" + path.replace("/", "\\"))
    s.xdo("key", "Return")


def save_as(s, path):
    """Answers the save dialog the program opened: the Linux path, as Wine's
    Z: drive names it, typed over the suggested name, then Return. Returns
    the file's rows as a spreadsheet program reads them, and its raw bytes."""
    import csv
    import io
    if os.path.exists(path):
        os.unlink(path)
    type_save_path(s, path)
    s.wait(lambda: os.path.exists(path) and not s.dialogs(), "the file to be written", 20)
    data = open(path, "rb").read()
    return list(csv.reader(io.StringIO(data.decode("utf-8-sig"), newline=""))), data
