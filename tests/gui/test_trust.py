"""What another process of the user's can plant or set must not steer the
program: an environment that points an elevated run outside the profile,
and programs or libraries put beside norvale.exe or named like a folder."""
import os
import shutil
import time

from harness import Session, check, write_file
from test_cleanup import click_row, header_tag, item_tag, measured, row_named, rows
from test_largefiles import action_click, open_page, row_of, scan

MIB = 1048576
IDYES, IDOK = 6, 1


def marker(h):
    path = os.path.join(h.artifacts, "planted-ran.txt")
    if os.path.exists(path):
        os.unlink(path)
    return path


def ran(path):
    return open(path, encoding="utf-8").read().split() if os.path.exists(path) else []


def test_temp_set_by_the_user_stays_outside_an_elevated_run(h):
    app = os.path.join(h.c_drive(), "Program Files", "SomeApp")
    files = {"app.exe": b"MZ program", "plugins/p.dll": b"MZ plugin", "licence.dat": b"licence"}
    for name, content in files.items():
        path = os.path.join(app, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)
    local_temp = os.path.join(h.local_app_data(), "Temp")
    write_file(os.path.join(local_temp, "junk.tmp"), MIB)
    trace = os.path.join(h.artifacts, "trust-trace.txt")

    h.kill_wine()
    before = Session(h).wine("reg", "query", r"HKCU\Environment", "/v", "TEMP").stdout.decode("utf-8", "replace")
    kept = [line.split(None, 2) for line in before.splitlines() if line.strip().upper().startswith("TEMP")]

    def undo():
        h.kill_wine()
        if kept and len(kept[0]) == 3:
            Session(h).wine("reg", "add", r"HKCU\Environment", "/v", "TEMP", "/t", kept[0][1], "/d", kept[0][2], "/f")
        else:
            Session(h).wine("reg", "delete", r"HKCU\Environment", "/v", "TEMP", "/f")
        h.kill_wine()
        shutil.rmtree(app, ignore_errors=True)
        shutil.rmtree(local_temp, ignore_errors=True)

    h.after_test(undo)
    # As any process of the user's can, before the user starts Norvale elevated.
    h.kill_wine()
    Session(h).wine("reg", "add", r"HKCU\Environment", "/v", "TEMP", "/t", "REG_SZ", "/d",
                    r"C:\Program Files\SomeApp", "/f")
    h.kill_wine()
    env = {"NORVALE_TEST_ADMIN": "1", "WINEDEBUG": "warn+seh"}
    with Session(h, exe="norvale_gui.exe", env=env, output=trace) as s:
        measured(s)
        check(item_tag(3, 0) not in [r["tag"] for r in rows(s)], "the TEMP item was measured outside the profile")
        click_row(s, row_named(s, header_tag(3)), 34)
        s.click_control(104)
        s.answer(s.dialog(), IDYES)
        s.wait(lambda: any(r["texts"][0].startswith("清理完成") for r in rows(s)), "the run to end", 60)
        lines = [r["texts"][0] for r in rows(s)]
        check("【清理失败】 用户 TEMP" in lines, lines)
        check("【已处理】 LocalAppData Temp  释放 1.00 MB" in lines, lines)
    for name, content in files.items():
        path = os.path.join(app, name)
        check(os.path.exists(path) and open(path, "rb").read() == content, f"{name} changed")
    # The trace says why (Wine prints it in the ANSI code page with
    # backslashes doubled; the reason's key is ASCII).
    refusals = [line for line in open(trace, "rb").read().decode("latin-1").splitlines()
                if "OutputDebugString" in line and "LOCALAPPDATA outside the profile" in line]
    check(refusals and r"TEMP -> C:\\Program Files\\SomeApp" in refusals[0], "the trace does not say why")


def planted_program(h, folder):
    """The program copied into folder, as a user would run it from Downloads."""
    os.makedirs(folder, exist_ok=True)
    shutil.copy(os.path.join(h.build, "norvale_gui.exe"), folder)
    h.after_test(lambda: (h.kill_wine(), shutil.rmtree(folder, ignore_errors=True)))
    return os.path.relpath(os.path.join(folder, "norvale_gui.exe"), h.build)


# Names a system library may load on demand, planted beside the program. Wine
# prefers its built-in copies of system libraries, so each name is told to
# load a file first ("n,b"), as Windows, which has no built-in copies, would.
PLANTED = ["version", "uxtheme", "dwmapi", "userenv", "setupapi", "shcore", "cryptbase", "profapi", "winmm",
           "wtsapi32", "propsys", "msimg32", "imm32", "comctl32"]


def test_nothing_beside_the_program_is_loaded_or_run(h):
    folder = os.path.join(h.c_drive(), "users", "Public", "Downloads", "planted")
    exe = planted_program(h, folder)
    library = os.path.join(h.build, "norvale_planted_library.dll")
    for name in PLANTED:
        shutil.copy(library, os.path.join(folder, name + ".dll"))
    # The common controls also by redirection: a ".local" folder beside it.
    os.makedirs(os.path.join(folder, "norvale_gui.exe.local"), exist_ok=True)
    shutil.copy(library, os.path.join(folder, "norvale_gui.exe.local", "comctl32.dll"))
    shutil.copy(os.path.join(h.build, "norvale_planted.exe"), os.path.join(folder, "cleanmgr.exe"))
    mark = marker(h)
    env = {"NORVALE_TEST_MARKER": "Z:" + mark.replace("/", "\\"),
           "WINEDLLOVERRIDES": "mscoree,mshtml=;" + ",".join(PLANTED) + "=n,b"}
    with Session(h, exe=exe, env=env) as s:
        measured(s)
        check(ran(mark) == [], f"loaded or ran at start-up: {ran(mark)}")
        s.click_control(114)  # 系统磁盘清理: Wine has no cleanmgr of its own
        box = s.dialog()
        check("无法启动磁盘清理工具 (cleanmgr)" in [c["text"] for c in box["children"]], box)
        s.answer(box, IDOK)
        open_page(s)
        scan(s, 0)
        time.sleep(1)
        check(ran(mark) == [], f"loaded or ran: {ran(mark)}")


def test_the_save_dialog_takes_no_library_from_beside_the_program(h):
    """导出's save dialog (comdlg32, delay-loaded) and what it loads come from System32 only."""
    folder = os.path.join(h.c_drive(), "users", "Public", "Downloads", "planted-save")
    exe = planted_program(h, folder)
    library = os.path.join(h.build, "norvale_planted_library.dll")
    names = ["comdlg32", "shell32", "shlwapi", "comctl32"]
    for name in names:
        shutil.copy(library, os.path.join(folder, name + ".dll"))
    mark = marker(h)
    env = {"NORVALE_TEST_MARKER": "Z:" + mark.replace("/", "\\"),
           "WINEDLLOVERRIDES": "mscoree,mshtml=;" + ",".join(names) + "=n,b"}
    with Session(h, exe=exe, env=env) as s:
        measured(s)
        open_page(s)
        s.click_control(195)
        box = s.dialog()
        check(box["title"] == "导出", box)
        check(ran(mark) == [], f"loaded with the save dialog: {ran(mark)}")
        s.answer(box, 2)  # 取消: nothing written
        s.wait(lambda: not s.dialogs(), "the dialog to close", 20)


def test_a_restart_starts_only_the_running_image(h):
    folder = os.path.join(h.c_drive(), "users", "Public", "Downloads", "swapped")
    exe = planted_program(h, folder)
    path = os.path.join(folder, "norvale_gui.exe")
    win = "C:\\users\\Public\\Downloads\\swapped\\"
    log = os.path.join(h.artifacts, "privilege-calls.txt")
    if os.path.exists(log):
        os.unlink(log)
    env = {"NORVALE_TEST_ADMIN": "0", "NORVALE_TEST_CALLS": log}
    with Session(h, exe=exe, env=env) as s:
        measured(s)
        # Held from start-up: no process of the user's can rename it away.
        moved = s.probe("rename", win + "norvale_gui.exe", win + "old.exe")
        check(moved["renamed"] == 0 and os.path.exists(path), moved)
        # Where Windows refuses, the Linux side can: another file at the path.
        other = path + ".new"
        shutil.copy(os.path.join(h.build, "norvale_planted.exe"), other)
        os.replace(other, path)
        s.click_control(111)
        s.answer(s.dialog(), IDYES)
        box = s.dialog()
        check("程序文件已被更改，无法切换模式" in [c["text"] for c in box["children"]], box)
        s.answer(box, IDOK)
        starts = [c for c in (open(log).read().split() if os.path.exists(log) else []) if c.startswith("start")]
        check(starts == [], starts)


def test_open_runs_nothing_named_like_the_folder(h):
    base = os.path.join(h.c_drive(), "trust")
    os.makedirs(base, exist_ok=True)
    h.after_test(lambda: (h.kill_wine(), shutil.rmtree(base, ignore_errors=True)))
    shutil.copy(os.path.join(h.build, "norvale_planted.exe"), os.path.join(base, "x.exe"))
    write_file(os.path.join(base, "x.exe.", "big.bin"), 60 * MIB)
    mark = marker(h)
    with Session(h, env={"NORVALE_TEST_MARKER": "Z:" + mark.replace("/", "\\")}) as s:
        open_page(s)
        scan(s, 0)
        action_click(s, row_of(s, "C:\\trust\\x.exe.\\big.bin"), False)
        time.sleep(3)
        for box in s.dialogs():
            s.answer(box, IDOK)
        check(ran(mark) == [], f"打开 ran {ran(mark)}")


TESTS = [test_temp_set_by_the_user_stays_outside_an_elevated_run, test_nothing_beside_the_program_is_loaded_or_run,
         test_the_save_dialog_takes_no_library_from_beside_the_program,
         test_a_restart_starts_only_the_running_image, test_open_runs_nothing_named_like_the_folder]
