"""The space view: a seeded tree on C: (sparse files, so terabytes take no
disk), its largest rows, two levels down and back, and the treemap."""
import datetime
import os
import shutil
import time

from harness import Session, check, save_as, write_file

GIB = 1 << 30
IDOK = 1
FOLDER_BLUE = (41, 128, 185)
VIDEO_PURPLE = (142, 68, 173)
# 2024-02-29 23:59:30 UTC: the newest write under space-seed, two levels down.
NEWEST = 1709251170


def seed(h):
    base = os.path.join(h.c_drive(), "space-seed")
    shutil.rmtree(base, ignore_errors=True)
    write_file(os.path.join(base, "videos", "a.mp4"), 1024 * GIB)
    write_file(os.path.join(base, "videos", "b.mkv"), 256 * GIB)
    write_file(os.path.join(base, "archives", "x.zip"), 256 * GIB)
    for name in ("1.txt", "2.txt", "3.txt"):
        write_file(os.path.join(base, name), 1000)
    for path, when in (("videos/a.mp4", NEWEST), ("videos/b.mkv", NEWEST - 86400), ("archives/x.zip", NEWEST - 3600),
                       ("1.txt", NEWEST - 7200), ("2.txt", NEWEST - 7200), ("3.txt", NEWEST - 7200)):
        os.utime(os.path.join(base, path), (when, when))
    os.utime(base, (NEWEST + 600, NEWEST + 600))  # a folder's own time is not its files'
    h.after_test(lambda: shutil.rmtree(base, ignore_errors=True))


def names(s):
    return [r["texts"][0] for r in s.list_rows(128)["rows"]]


def path_shown(s):
    return s.controls()[125]["text"]


def treemap_corner_has(s, colour):
    """The treemap's top left, inside the selection's outline: the largest row."""
    r = s.controls()[129]["rect"]
    return s.shot().count_near(colour, r[0] + 8, r[1] + 8, r[0] + 28, r[1] + 28, 30) > 300


def test_the_space_view_shows_folders_by_size_and_goes_down_and_back(h):
    seed(h)
    with Session(h) as s:
        s.click_control(122)
        s.wait(lambda: s.controls()[128]["visible"] == 1 and s.controls()[129]["visible"] == 1, "the space page", 20)
        check(s.controls()[102]["visible"] == 0, "the large-file list stays on its own page")
        s.click_control(123)
        s.wait(lambda: s.controls()[124]["text"].startswith("分析完成："), "the analysis to finish", 120)
        check(s.controls()[124]["text"].startswith("分析完成：C: 中已统计 "), s.controls()[124]["text"])
        check(path_shown(s) == "C:\\", path_shown(s))
        rows = s.list_rows(128)
        check([c["title"] for c in rows["columns"]] == ["名称", "大小", "占用空间", "占比", "文件数", "修改时间"],
              rows["columns"])
        top = rows["rows"][0]
        check(top["texts"][0] == "space-seed" and top["texts"][1] == "1536.00 GB", top)
        check(top["texts"][5] == time.strftime("%Y-%m-%d %H:%M", time.localtime(NEWEST)), top)

        # 导出 → 当前列表: the rows shown, by full path, bytes as integers.
        s.click_control(194)
        time.sleep(0.5)
        s.xdo("key", "Down", "Return")
        table, data = save_as(s, os.path.join(h.artifacts, "space-export.csv"))
        check(data.startswith(b"\xef\xbb\xbf"), data[:20])
        check(table[0] == ["路径", "大小（字节）", "占用空间（字节）", "文件数", "修改时间"], table[0])
        check([r[0] for r in table[1:]] == ["C:\\" + r["texts"][0] for r in rows["rows"]], table)
        stamp = datetime.datetime.fromtimestamp(NEWEST).astimezone().isoformat()
        seed_row = table[1]
        check(seed_row[:2] == ["C:\\space-seed", str(1536 * GIB + 3000)] and seed_row[3:] == ["6", stamp], seed_row)
        # 导出 → 目录树（3 层）: each folder followed by its rows, three levels down.
        s.click_control(194)
        time.sleep(0.5)
        s.xdo("key", "Down", "Down", "Return")
        table, data = save_as(s, os.path.join(h.artifacts, "space-tree.csv"))
        exported = [r[0] for r in table[1:]]
        seeded = exported[exported.index("C:\\space-seed"):][:7]
        check(seeded == ["C:\\space-seed", "C:\\space-seed\\videos", "C:\\space-seed\\videos\\a.mp4",
                         "C:\\space-seed\\videos\\b.mkv", "C:\\space-seed\\archives",
                         "C:\\space-seed\\archives\\x.zip", "C:\\space-seed\\（3 个小文件）"], seeded)
        check(all(p.count("\\") <= 3 for p in exported), [p for p in exported if p.count("\\") > 3][:5])
        check(top["texts"][4] == "6", f"files under it: {top}")
        check(top["selected"] == 1, "the first row is selected")
        check(float(top["texts"][3].rstrip("%")) > 50, f"its share: {top}")
        s.wait(lambda: treemap_corner_has(s, FOLDER_BLUE), "the largest row's rectangle in its place", 10)
        # What the drive uses beyond what was counted (here: the host's own files).
        check("（未统计）" in [r["texts"][0] for r in rows["rows"]], "no row for the bytes not counted")

        # Down with a double-click, then with Return on the selected row.
        cell = top["cells"][0]
        s.double_click(cell[0] + 20, (cell[1] + cell[3]) // 2)
        s.wait(lambda: path_shown(s).endswith("space-seed"), "the folder to open", 20)
        check(names(s) == ["videos", "archives", "（3 个小文件）"], names(s))
        # A click on a rectangle selects its row; the bottom right is the smaller folder's.
        r = s.controls()[129]["rect"]
        s.click(r[2] - 12, r[3] - 12)
        s.wait(lambda: [x["texts"][0] for x in s.list_rows(128)["rows"] if x["selected"]] == ["archives"],
               "a click on the treemap to select its row", 20)
        # The folder listed was swapped for a link since: 打开 opens nothing.
        seeded = os.path.join(h.c_drive(), "space-seed")
        os.rename(os.path.join(seeded, "archives"), os.path.join(seeded, "archives-moved"))
        os.symlink(os.path.join(seeded, "archives-moved"), os.path.join(seeded, "archives"))
        s.click_control(127)
        notice = s.dialog()
        check("该项目已不在原处，请重新分析。" in [c["text"] for c in notice["children"]], notice)
        s.answer(notice, IDOK)
        s.wait(lambda: not s.dialogs(), "the notice to close", 20)
        s.click_control(129)  # the middle: videos, the larger one
        s.wait(lambda: [x["texts"][0] for x in s.list_rows(128)["rows"] if x["selected"]] == ["videos"],
               "the treemap to select videos", 20)
        s.xdo("key", "Return")
        s.wait(lambda: path_shown(s).endswith("videos"), "the second level", 20)
        rows = s.list_rows(128)["rows"]
        check([(r["texts"][0], r["texts"][1]) for r in rows] == [("a.mp4", "1024.00 GB"), ("b.mkv", "256.00 GB")], rows)
        check(s.controls()[126]["enabled"] == 1, "上一级 enabled below the root")
        s.wait(lambda: treemap_corner_has(s, VIDEO_PURPLE), "a video in the video colour", 10)

        # Back with Backspace: the folder we came from is selected.
        s.xdo("key", "BackSpace")
        s.wait(lambda: path_shown(s).endswith("space-seed"), "the way back", 20)
        selected = [r["texts"][0] for r in s.list_rows(128)["rows"] if r["selected"]]
        check(selected == ["videos"], selected)
        s.click_control(126)
        s.wait(lambda: path_shown(s) == "C:\\", "上一级 to the root", 20)
        check(s.controls()[126]["enabled"] == 0, "上一级 disabled at the root")
        s.shot().save(h.artifacts + "/space-view.png")


TESTS = [test_the_space_view_shows_folders_by_size_and_goes_down_and_back]
