"""Closing to the notification area, the icon's menu, and the mode button's
restarts with the privilege operations under the test's control."""
import os
import shutil
import time

from harness import Session, check, write_file
import test_cleanup

IDYES, IDNO, IDOK = 6, 7, 1
MIB = 1048576


def hidden(s):
    return s.window().get("visible") == 0


def shown(s):
    return s.window().get("visible") == 1


def menu_click(s, icon, entry):
    """Right-clicks the icon and picks entry 0 ("显示窗口") or 1 ("退出程序")."""
    s.click(icon[0], icon[1], button=3)
    s.wait(lambda: s.probe("windows", "#32768"), "the tray menu", 20)
    r = s.probe("windows", "#32768")[0]["rect"]
    check(r[2] <= icon[0] + 1 and r[3] <= icon[1] + 1, f"menu anchored by its bottom-right corner: {r} at {icon}")
    height = r[3] - r[1]
    s.click((r[0] + r[2]) // 2, r[1] + height // 4 if entry == 0 else r[3] - height // 4)


def test_close_hides_to_one_icon_and_a_click_restores(h):
    with Session(h) as s:
        check(s.tray_icons() == [], "an icon before closing")
        s.close_window()
        s.wait(lambda: hidden(s), "the window to hide")
        s.wait(lambda: len(s.tray_icons()) == 1, "one icon", 20)
        s.click(*s.tray_icons()[0])
        s.wait(lambda: shown(s), "the window to come back", 20)
        s.wait(lambda: s.tray_icons() == [], "the icon to go", 20)
        # A maximized window comes back maximized.
        r = s.window()["rect"]
        s.xdo("mousemove", str((r[0] + r[2]) // 2), str(r[1] + 10), "click", "--repeat", "2", "--delay", "80", "1")
        s.wait(lambda: s.window().get("zoomed") == 1, "the window to maximize", 20)
        s.close_window()
        s.wait(lambda: hidden(s), "the window to hide again")
        s.wait(lambda: len(s.tray_icons()) == 1, "still exactly one icon", 20)
        menu_click(s, s.tray_icons()[0], 0)
        s.wait(lambda: shown(s), "显示窗口 to restore", 20)
        check(s.window().get("zoomed") == 1, "restoring took the window out of its maximized state")
        s.wait(lambda: s.tray_icons() == [], "the icon to go after 显示窗口", 20)


def test_exit_from_the_menu_ends_with_code_zero_and_no_icon(h):
    code_file = os.path.join(h.artifacts, "exit-code.txt")
    with Session(h, exit_code_file=code_file) as s:
        s.close_window()
        s.wait(lambda: len(s.tray_icons()) == 1, "the icon")
        menu_click(s, s.tray_icons()[0], 1)
        s.wait(lambda: os.path.exists(code_file) and open(code_file).read().strip() != "", "the program to end", 20)
        check(open(code_file).read().strip() == "0", f"exit code {open(code_file).read()}")
        check(not s.window().get("found"), "the window is gone")
        s.wait(lambda: s.tray_icons() == [], "no icon left behind", 20)


def seed_big_tree(h, folders):
    root = os.path.join(h.c_drive(), "bigtree")
    h.after_test(lambda: shutil.rmtree(root, ignore_errors=True))
    if not os.path.isdir(os.path.join(root, f"d{folders - 1}")):
        for i in range(folders):
            write_file(os.path.join(root, f"d{i}", "big.bin"), 60 * MIB)
    return root


def test_closing_stops_a_scan_and_the_partial_result_shows(h):
    folders = 6000
    seed_big_tree(h, folders)
    with Session(h) as s:
        s.click_client(80, 72)
        s.wait(lambda: s.controls()[102]["visible"] == 1, "the large-file page", 20)
        s.click_control(103)
        s.wait(lambda: s.controls()[115]["text"].startswith("正在扫描"), "the scan to run", 20)
        s.close_window()
        s.wait(lambda: hidden(s), "the window to hide")
        s.wait(lambda: s.controls()[103]["enabled"] == 1, "the scan to stop", 60)
        s.click(*s.tray_icons()[0])
        s.wait(lambda: shown(s), "the window to come back", 20)
        label = s.controls()[115]["text"]
        found = len(s.list_rows(102)["rows"])
        check(label.startswith(f"扫描已停止：发现 {found} 个大文件"), label)
        check(found < folders, f"the scan ran to its end: {found}")


def test_a_cleaning_run_goes_on_while_hidden(h):
    test_cleanup.seed(h)
    with Session(h) as s:
        test_cleanup.measured(s)
        test_cleanup.click_row(s, test_cleanup.row_named(s, test_cleanup.item_tag(3, 0)), 56)
        s.click_control(104)
        s.answer(s.dialog(), IDYES)
        s.close_window()
        s.wait(lambda: hidden(s), "the window to hide")
        s.wait(lambda: s.controls()[118]["enabled"] == 1, "the run to end while hidden", 60)
        s.click(*s.tray_icons()[0])
        s.wait(lambda: shown(s), "the window to come back", 20)
        lines = [r["texts"][0] for r in s.list_rows(101)["rows"]]
        check(lines[0] == "【已处理】 用户 TEMP  释放 42.00 MB" and lines[-2] == "清理完成！共清理 1 项，释放空间 42.00 MB"
              and lines[-1].startswith("C 盘可用空间: 之前 "), lines)


def calls(path):
    return open(path).read().split() if os.path.exists(path) else []


def mode_session(h, admin, fail="", code_file=None):
    log = os.path.join(h.artifacts, "privilege-calls.txt")
    if os.path.exists(log):
        os.unlink(log)
    env = {"NORVALE_TEST_ADMIN": "1" if admin else "0", "NORVALE_TEST_FAIL": fail, "NORVALE_TEST_CALLS": log}
    return Session(h, exe="norvale_gui.exe", env=env, exit_code_file=code_file), log


def test_mode_button_refuses_while_busy(h):
    seed_big_tree(h, 6000)
    session, log = mode_session(h, admin=True)
    with session as s:
        s.click_client(80, 72)
        s.click_control(103)
        s.click_control(111)
        box = s.dialog()
        check("正在扫描或清理中，无法切换权限模式。" in [c["text"] for c in box["children"]], box)
        s.answer(box, IDOK)
        check(shown(s), "the window stays")
        check([c for c in calls(log) if c.startswith("start")] == [], calls(log))


def second_start_hands_over(s, h):
    result = s.probe("second-start", "Z:" + h.build.replace("/", "\\") + "\\norvale_gui.exe")
    return result["ended"] == 1 and result["code"] == 0


def test_declining_restarts_nothing_and_keeps_the_guard(h):
    session, log = mode_session(h, admin=False)
    with session as s:
        s.click_control(111)
        question = s.dialog()
        check("确定要以管理员权限重新启动程序吗？" in [c["text"] for c in question["children"]], question)
        s.answer(question, IDNO)
        s.wait(lambda: not s.dialogs(), "the question to close", 20)
        check([c for c in calls(log) if c.startswith("start")] == [], calls(log))
        # A second start still hands over to this window and ends.
        check(second_start_hands_over(s, h), "a second start opened a window of its own after 否")


def switch_fails_and_the_program_stays(s, h):
    s.click_control(111)
    s.answer(s.dialog(), IDYES)
    box = s.dialog()
    check("无法切换权限模式（可能被 UAC 阻止）。" in [c["text"] for c in box["children"]], box)
    s.answer(box, IDOK)
    s.wait(lambda: not s.dialogs(), "the warning to close", 20)
    check(shown(s), "the program did not stay")
    check(second_start_hands_over(s, h), "the guard was not taken again after the failed switch")


def test_restart_paths_and_their_failures(h):
    code_file = os.path.join(h.artifacts, "exit-code.txt")
    # Administrator mode: the copy starts with the desktop shell's token, and
    # this instance quits.
    session, log = mode_session(h, admin=True, code_file=code_file)
    with session as s:
        s.click_control(111)
        question = s.dialog()
        check("确定要以普通权限重新启动程序吗？" in [c["text"] for c in question["children"]], question)
        s.answer(question, IDYES)
        s.wait(lambda: os.path.exists(code_file) and open(code_file).read().strip(), "the program to quit", 20)
        check(open(code_file).read().strip() == "0", "exit code")
        check([c for c in calls(log) if c.startswith("start")] == ["start-unelevated"], calls(log))
    # Administrator mode, the shell's token cannot start it: no other way is
    # tried (the default verb would start it elevated again), so the program
    # stays, with the warning and its guard.
    session, log = mode_session(h, admin=True, fail="unelevated")
    with session as s:
        switch_fails_and_the_program_stays(s, h)
        check([c for c in calls(log) if c.startswith("start")] == ["start-unelevated"], calls(log))
    # Normal mode, elevation refused: the warning, and the program goes on.
    session, log = mode_session(h, admin=False, fail="elevated")
    with session as s:
        switch_fails_and_the_program_stays(s, h)
        s.click_client(80, 72)
        s.wait(lambda: s.controls()[102]["visible"] == 1, "the program is still usable", 20)
        check([c for c in calls(log) if c.startswith("start")] == ["start-elevated"], calls(log))
    # Normal mode, elevation granted: this instance quits.
    session, log = mode_session(h, admin=False, code_file=code_file)
    with session as s:
        s.click_control(111)
        s.answer(s.dialog(), IDYES)
        s.wait(lambda: os.path.exists(code_file) and open(code_file).read().strip(), "the program to quit", 20)
        check([c for c in calls(log) if c.startswith("start")] == ["start-elevated"], calls(log))


TESTS = [test_close_hides_to_one_icon_and_a_click_restores, test_exit_from_the_menu_ends_with_code_zero_and_no_icon,
         test_closing_stops_a_scan_and_the_partial_result_shows, test_a_cleaning_run_goes_on_while_hidden,
         test_mode_button_refuses_while_busy, test_declining_restarts_nothing_and_keeps_the_guard,
         test_restart_paths_and_their_failures]
