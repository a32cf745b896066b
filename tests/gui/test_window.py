"""The window a user sees: size, painting, pages, minimum size, second start."""
import json
import os
import subprocess
import time

from harness import Session, check, near

SIDEBAR = (45, 45, 48)
SELECTED_TAB = (60, 60, 65)
ACCENT = (0, 120, 212)
NEARLY_FULL = (209, 52, 56)
STATUS_BAND = (245, 245, 245)
STATUS_LINE = (220, 220, 220)
ADMIN_BAR = (210, 240, 210)
NORMAL_BAR = (255, 245, 200)
TICKER = (220, 50, 50)
WHITE = (255, 255, 255)
ACTION_BLUE = (100, 149, 237)

PAGE0 = (108, 101, 105, 106, 114, 118, 104)
PAGE1 = (115, 120, 103, 113, 102)


def pixel(s, shot, x, y):
    c = s.window()["client"]
    return shot.pixel(c[0] + x, c[1] + y)


def test_window_size_and_painting_at_96_dpi(h):
    with Session(h) as s:
        w = s.window()
        r = w["rect"]
        check((r[2] - r[0], r[3] - r[1]) == (800, 600), f"outer size {r}")
        check(w["title"] == "澜序(Norvale) - C盘清理工具", w["title"])
        H = w["client"][3] - w["client"][1]
        shot = s.shot()
        check(near(pixel(s, shot, 80, 300), SIDEBAR), "sidebar colour")
        check(near(pixel(s, shot, 150, 40), SELECTED_TAB), "selected tab colour")
        check(near(pixel(s, shot, 1, 24), ACCENT) and near(pixel(s, shot, 2, 24), ACCENT), "accent strip")
        check(near(pixel(s, shot, 3, 24), SELECTED_TAB), "accent strip is 3 pixels wide")
        check(near(pixel(s, shot, 150, 88), SIDEBAR), "the other tab is dark")
        W = w["client"][2] - w["client"][0]
        check(near(pixel(s, shot, 700, H - 40), STATUS_BAND), "status band")
        # How full C: is, at the band's right end: the bar's used part starts
        # blue (red past 90 %), its free part ends in the line colour.
        check(near(pixel(s, shot, W - 279, H - 9), ACCENT) or near(pixel(s, shot, W - 279, H - 9), NEARLY_FULL),
              f"used part of the bar: {pixel(s, shot, W - 279, H - 9)}")
        check(near(pixel(s, shot, W - 21, H - 9), STATUS_LINE), f"free part of the bar: {pixel(s, shot, W - 21, H - 9)}")
        check(near(pixel(s, shot, 700, H - 44), STATUS_LINE), "status band top line")
        check(near(pixel(s, shot, 170, 5), ADMIN_BAR), "warning bar in administrator mode")
        controls = s.controls()
        check(controls[119]["text"] == "✓ 管理员模式 - 拥有完全清理权限", controls[119]["text"])
        check(all(controls[i]["visible"] for i in PAGE0), "page 0 controls shown")
        check(not any(controls[i]["visible"] for i in PAGE1), "page 1 controls hidden")
        shot.save(h.artifacts + "/page0.png")


def test_large_file_tab_swaps_the_looks_and_runs_the_ticker(h):
    with Session(h) as s:
        s.click_client(80, 72)
        s.wait(lambda: s.controls()[102]["visible"] == 1, "the large-file page")
        controls = s.controls()
        check(all(controls[i]["visible"] for i in PAGE1), "page 1 controls shown")
        check(not any(controls[i]["visible"] for i in PAGE0), "page 0 controls hidden")
        check(controls[113]["text"] == "≥ 100 MB", f"combo shows {controls[113]['text']}")
        shot = s.shot()
        check(near(pixel(s, shot, 150, 40), SIDEBAR), "first tab now dark")
        check(near(pixel(s, shot, 150, 88), SELECTED_TAB), "second tab now selected")
        check(near(pixel(s, shot, 1, 72), ACCENT), "accent strip moved")
        r = controls[120]["rect"]
        first = shot.region(r[0], r[1], r[2], r[3])
        check(sum(1 for p in first if near(p, TICKER)) > (r[2] - r[0]) * (r[3] - r[1]) // 2, "red ticker")
        time.sleep(0.6)
        second = s.shot().region(r[0], r[1], r[2], r[3])
        check(first != second, "the ticker did not move between two shots")
        shot.save(h.artifacts + "/page1.png")


def test_window_cannot_be_dragged_below_the_minimum(h):
    with Session(h) as s:
        r = s.window()["rect"]
        s.xdo("mousemove", str(r[2] - 2), str(r[3] - 2), "mousedown", "1")
        time.sleep(0.3)
        s.xdo("mousemove", str(r[2] - 100), str(r[3] - 100))
        time.sleep(0.2)
        s.xdo("mousemove", "300", "300")
        time.sleep(0.3)
        s.xdo("mouseup", "1")
        time.sleep(0.5)
        r = s.window()["rect"]
        check((r[2] - r[0], r[3] - r[1]) == (700, 450), f"size after dragging small: {r}")


def test_second_start_brings_the_first_window_forward(h):
    with Session(h) as s:
        s.close_window()
        s.wait(lambda: s.window()["visible"] == 0, "the window to hide")
        result = s.probe("second-start", "Z:" + h.build.replace("/", "\\") + "\\norvale.exe")
        check(result == {"ended": 1, "code": 0}, f"second start: {result}")
        s.wait(lambda: s.window()["visible"] == 1, "the first window to show again", 20)


def test_start_while_the_name_is_held_without_a_window(h):
    h.kill_wine()
    probe = os.path.join(h.build, "norvale_probe.exe")
    desktop = subprocess.Popen(["wine", "explorer", "/desktop=shell,1600x1200", probe, "hold-mutex"], env=h.env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        s = Session(h)
        s.wait(lambda: s.probe("windows", "Shell_TrayWnd"), "the desktop", 20)
        time.sleep(1)
        second = subprocess.Popen(["wine", probe, "second-start", "Z:" + h.build.replace("/", "\\") + "\\norvale.exe"],
                                  env=h.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        box = s.dialog()
        check(box["title"] == "提示", box["title"])
        check("澜序(Norvale) 已在运行中！" in [c["text"] for c in box["children"]], box)
        s.answer(box, 1)
        out = second.communicate(timeout=30)[0].decode()
        check(json.loads(out) == {"ended": 1, "code": 0}, out)
        check(not s.window().get("found"), "a window was created")
    finally:
        desktop.kill()
        h.kill_wine()


def test_scaled_window_at_144_dpi(h):
    with Session(h, dpi=144) as s:
        r = s.window()["rect"]
        check((r[2] - r[0], r[3] - r[1]) == (1200, 900), f"outer size at 144 DPI: {r}")
        shot = s.shot()
        check(near(pixel(s, shot, 230, 300), SIDEBAR), "sidebar 240 pixels wide")
        check(near(pixel(s, shot, 245, 300), WHITE) or not near(pixel(s, shot, 245, 300), SIDEBAR),
              "content starts at 240")
        check(near(pixel(s, shot, 4, 36), ACCENT) and not near(pixel(s, shot, 5, 36), ACCENT), "accent strip s(3) = 4")


def test_normal_mode_painting(h):
    with Session(h, exe="norvale_gui.exe", env={"NORVALE_TEST_ADMIN": "0"}) as s:
        controls = s.controls()
        check(controls[119]["text"] == "⚠ 非管理员模式 - 部分系统目录可能无法清理", controls[119]["text"])
        shot = s.shot()
        check(near(pixel(s, shot, 170, 5), NORMAL_BAR), "warning bar in normal mode")
        b = controls[111]["rect"]
        upper = (b[0] + 20, b[1] + 8, b[0] + 150, b[1] + 24)
        lower = (b[0] + 20, b[1] + 30, b[0] + 150, b[1] + 46)
        check(shot.count_near(WHITE, *upper) > 10 and shot.count_near(ACTION_BLUE, *upper) == 0, "upper line white")
        check(shot.count_near(ACTION_BLUE, *lower) > 10, "lower line blue")
    with Session(h, exe="norvale_gui.exe", env={"NORVALE_TEST_ADMIN": "1"}) as s:
        b = s.controls()[111]["rect"]
        shot = s.shot()
        check(shot.count_near(ACTION_BLUE, b[0] + 20, b[1] + 8, b[0] + 150, b[1] + 24) > 10, "admin: upper line blue")
        check(shot.count_near(WHITE, b[0] + 20, b[1] + 30, b[0] + 150, b[1] + 46) > 10, "admin: lower line white")


TESTS = [
    test_window_size_and_painting_at_96_dpi,
    test_large_file_tab_swaps_the_looks_and_runs_the_ticker,
    test_window_cannot_be_dragged_below_the_minimum,
    test_second_start_brings_the_first_window_forward,
    test_start_while_the_name_is_held_without_a_window,
    test_scaled_window_at_144_dpi,
    test_normal_mode_painting,
]
