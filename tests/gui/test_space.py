"""The space view: a seeded tree on C: (sparse files, so terabytes take no
disk), its largest rows, two levels down and back, and the treemap."""
import datetime
import os
import shutil
import subprocess
import time

from harness import Session, check, save_as, windows_path, write_file

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


def treemap_corner_has(s, colour, least=300):
    """The treemap's top left, inside the selection's outline: the largest row."""
    r = s.controls()[129]["rect"]
    return s.shot().count_near(colour, r[0] + 8, r[1] + 8, r[0] + 28, r[1] + 28, 30) > least


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
        # A folder's box is its name strip and frame around its own boxes: less of it is blue.
        s.wait(lambda: treemap_corner_has(s, FOLDER_BLUE, 150), "the largest row's rectangle in its place", 10)
        # What the drive uses beyond what was counted (here: the host's own files).
        check("（未统计）" in [r["texts"][0] for r in rows["rows"]], "no row for the bytes not counted")

        # Down with a double-click, then with Return on the selected row.
        cell = top["cells"][0]
        s.double_click(cell[0] + 20, (cell[1] + cell[3]) // 2)
        s.wait(lambda: path_shown(s).endswith("space-seed"), "the folder to open", 20)
        check(names(s) == ["videos", "archives", "（3 个小文件）"], names(s))
        # A click on a rectangle selects its row; the bottom right is the smaller folder's.
        r = s.controls()[129]["rect"]
        s.click(r[2] - 12, r[3] - 12 - LEGEND)
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
        # Its label (name, size) covers part of the corner.
        s.wait(lambda: treemap_corner_has(s, VIDEO_PURPLE, 200), "a video in the video colour", 10)

        # Back with Backspace: the folder we came from is selected.
        s.xdo("key", "BackSpace")
        s.wait(lambda: path_shown(s).endswith("space-seed"), "the way back", 20)
        selected = [r["texts"][0] for r in s.list_rows(128)["rows"] if r["selected"]]
        check(selected == ["videos"], selected)
        s.click_control(126)
        s.wait(lambda: path_shown(s) == "C:\\", "上一级 to the root", 20)
        check(s.controls()[126]["enabled"] == 0, "上一级 disabled at the root")
        s.shot().save(h.artifacts + "/space-view.png")


def test_the_space_view_fills_in_while_it_scans(h):
    base = os.path.join(h.c_drive(), "live-seed")
    shutil.rmtree(base, ignore_errors=True)
    h.after_test(lambda: shutil.rmtree(base, ignore_errors=True))
    # 100,000 names make the walk take seconds under Wine: time for the
    # snapshots, four a second, to show.
    for d in range(1000):
        folder = os.path.join(base, f"d{d:03}")
        os.makedirs(folder)
        for f in range(100):
            open(os.path.join(folder, f"f{f:03}.bin"), "wb").close()
    write_file(os.path.join(base, "d000", "big.bin"), 64 * GIB)
    with Session(h) as s:
        s.click_control(122)
        s.wait(lambda: s.controls()[128]["visible"] == 1, "the space page", 20)
        s.click_control(123)
        seen = []

        def rows_while_running():
            # Rows first, then the label: rows read while it still says
            # 正在分析 were there before the end.
            shown = names(s)
            label = s.controls()[124]["text"]
            if label.startswith("正在分析... 已扫描 ") and shown:
                seen.append((label, shown))
            return label.startswith("分析完成：") or seen

        s.wait(rows_while_running, "rows while the analysis runs", 180)
        check(seen, "the list stayed empty until the analysis ended")
        label, shown = seen[-1]
        check(label.endswith("%)"), f"the percent of the drive's used bytes met: {label}")
        s.wait(lambda: s.controls()[124]["text"].startswith("分析完成："), "the analysis to finish", 180)
        rows = {r["texts"][0]: r["texts"] for r in s.list_rows(128)["rows"]}
        check(rows.get("live-seed", [None, None])[1] == "64.00 GB", rows.get("live-seed"))
        check(rows["live-seed"][4] == "100,001", f"every file counted once the walk is done: {rows['live-seed']}")




IDYES, IDNO = 6, 7
DELETE = 137
MIB = 1 << 20


LEGEND = 60  # at least the kinds' legend under the map, at 96 DPI (three lines when narrow)


def tooltips(s):
    """The texts of the tooltips showing now."""
    return [w["title"] for w in s.probe("windows", "tooltips_class32") or []]


def analyse(s):
    s.click_control(122)
    s.wait(lambda: s.controls()[129]["visible"] == 1, "the space page", 20)
    s.click_control(123)
    s.wait(lambda: s.controls()[124]["text"].startswith("分析完成："), "the analysis to finish", 120)


analyze = analyse


def row(s, name):
    found = [r for r in s.list_rows(128)["rows"] if r["texts"][0] == name]
    check(found, f"no row {name}: {names(s)}")
    return found[0]


def select(s, name):
    cell = row(s, name)["cells"][0]
    s.click(cell[0] + 20, (cell[1] + cell[3]) // 2)
    s.wait(lambda: row(s, name)["selected"] == 1, f"{name} selected", 20)


def enter(s, name):
    cell = row(s, name)["cells"][0]
    s.double_click(cell[0] + 20, (cell[1] + cell[3]) // 2)
    s.wait(lambda: path_shown(s).lower().endswith("\\" + name.lower()), f"{name} to open", 20)


def texts(dialog):
    return "\n".join(c["text"] for c in dialog["children"])


def delete_answered(s, name, answer):
    """删除 on the row: the dialog that comes, answered."""
    select(s, name)
    s.click_control(DELETE)
    dialog = s.dialog()
    shown = texts(dialog)
    s.answer(dialog, answer)
    s.wait(lambda: not s.dialogs(), "the dialog to close", 20)
    return shown


def test_space_delete_asks_removes_and_refuses(h):
    """删除 on a folder: 否 (Return) keeps it, 是 removes it and the folder
    above loses its size; the profile and C:\\windows are refused; a folder
    swapped for a link to another one since the analysis deletes nothing."""
    base = os.path.join(h.c_drive(), "del-seed")
    shutil.rmtree(base, ignore_errors=True)
    h.after_test(lambda: shutil.rmtree(base, ignore_errors=True))
    write_file(os.path.join(base, "victim", "a.bin"), 3 * GIB)
    write_file(os.path.join(base, "victim", "b.bin"), 1 * GIB)
    write_file(os.path.join(base, "victim", "sub", "c.txt"), 1000)
    write_file(os.path.join(base, "keep", "k.bin"), 2 * GIB)
    write_file(os.path.join(base, "swapme", "s.bin"), 1 * GIB)
    write_file(os.path.join(base, "outside", "s.bin"), 1 * GIB)
    write_file(os.path.join(base, "busy", "held.bin"), 1 * GIB)
    write_file(os.path.join(base, "busy", "free.bin"), 1 * GIB)
    with Session(h) as s:
        analyze(s)
        check(row(s, "del-seed")["texts"][4] == "8", row(s, "del-seed"))
        shown = delete_answered(s, "windows", IDOK)
        check("受保护" in shown and "不能删除" in shown, shown)
        enter(s, "users")
        profile = os.path.basename(h.profile())
        shown = delete_answered(s, profile, IDOK)
        check("受保护" in shown, shown)
        check(os.path.isdir(h.profile()), "the profile")
        s.click_control(126)
        s.wait(lambda: path_shown(s) == "C:\\", "the root again", 20)

        enter(s, "del-seed")
        select(s, "victim")
        s.click_control(DELETE)
        question = s.dialog()
        shown = texts(question)
        for part in ("C:\\del-seed\\victim", "大小：4.00 GB", "文件数：3", "永久删除", "不会进入回收站"):
            check(part in shown, f"{part} not in {shown}")
        s.xdo("key", "Return")  # 否 is the default
        s.wait(lambda: not s.dialogs(), "the question to close", 20)
        check(os.path.exists(os.path.join(base, "victim", "a.bin")), "否 deleted the folder")
        check("victim" in names(s), names(s))

        delete_answered(s, "victim", IDYES)
        s.wait(lambda: "victim" not in names(s), "the row to go", 30)
        check(not os.path.exists(os.path.join(base, "victim")), "the folder is still there")
        check(s.controls()[124]["text"] == "已删除 victim，释放 4.00 GB", s.controls()[124]["text"])
        s.click_control(126)
        s.wait(lambda: path_shown(s) == "C:\\", "the root again", 20)
        seeded = row(s, "del-seed")["texts"]
        check(seeded[1] == "6.00 GB" and seeded[4] == "5", f"the sizes above: {seeded}")

        # A file held open without sharing: the rest of its folder goes.
        holder = subprocess.Popen(["wine", os.path.join(h.build, "norvale_probe.exe"), "hold",
                                   windows_path(os.path.join(base, "busy", "held.bin"))],
                                  env=h.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        h.after_test(holder.kill)
        check(holder.stdout.readline().strip() == b'{"held":1}', "the helper could not hold the file")
        enter(s, "del-seed")
        select(s, "busy")
        s.click_control(DELETE)
        s.answer(s.dialog(), IDYES)
        partly = "已删除 busy 中的 1 个文件，1 个无法删除（正在使用）"
        s.wait(lambda: partly in texts(s.dialogs()[0]), "what was left, said", 60)
        s.answer(s.dialogs()[0], IDOK)
        s.wait(lambda: not s.dialogs(), "the notice to close", 20)
        check(s.controls()[124]["text"] == partly, s.controls()[124]["text"])
        check(os.listdir(os.path.join(base, "busy")) == ["held.bin"], os.listdir(os.path.join(base, "busy")))
        busy = row(s, "busy")["texts"]
        check(busy[1] == "1.00 GB" and busy[4] == "1", f"what remains: {busy}")
        # What remains is listed by name, as scanned: the file held can be found.
        enter(s, "busy")
        check(names(s) == ["held.bin"], names(s))
        s.click_control(126)
        s.wait(lambda: path_shown(s).endswith("del-seed"), "del-seed again", 20)
        s.click_control(126)
        s.wait(lambda: path_shown(s) == "C:\\", "the root again", 20)
        seeded = row(s, "del-seed")["texts"]
        check(seeded[1] == "5.00 GB" and seeded[4] == "4", f"the sizes above: {seeded}")

        # Swapped from the Linux side for a link to another folder.
        os.rename(os.path.join(base, "swapme"), os.path.join(base, "swapme-moved"))
        os.symlink(os.path.join(base, "outside"), os.path.join(base, "swapme"))
        enter(s, "del-seed")
        select(s, "swapme")
        s.click_control(DELETE)
        notice = s.dialog()
        check("该项目已变化，请重新分析" in texts(notice), notice)
        s.answer(notice, IDOK)
        check(os.path.getsize(os.path.join(base, "outside", "s.bin")) == GIB, "the folder behind the link")
        check(os.path.exists(os.path.join(base, "swapme-moved", "s.bin")), "the folder moved away")


def test_space_summary_row_opens_into_its_files(h):
    """A folder of 300 small photos: its summary row opens into every file
    (listed from the disk), one of them deleted, and 上一级 returns."""
    base = os.path.join(h.c_drive(), "photo-seed")
    shutil.rmtree(base, ignore_errors=True)
    h.after_test(lambda: shutil.rmtree(base, ignore_errors=True))
    photos = os.path.join(base, "photos")
    for i in range(300):
        write_file(os.path.join(photos, f"IMG_{i:04d}.jpg"), 2000)
    write_file(os.path.join(photos, "IMG_0123.jpg"), 5000)
    write_file(os.path.join(photos, "big.mov"), 2 * MIB)
    with Session(h) as s:
        analyze(s)
        enter(s, "photo-seed")
        enter(s, "photos")
        check(names(s) == ["big.mov", "（300 个小文件）"], names(s))
        rest = row(s, "（300 个小文件）")["cells"][0]
        s.double_click(rest[0] + 20, (rest[1] + rest[3]) // 2)
        s.wait(lambda: "全部文件" in path_shown(s), "the files to be listed", 30)
        check(path_shown(s) == "C:\\photo-seed\\photos 中的全部文件（301 个）", path_shown(s))
        listed = names(s)
        check(len(listed) == 301 and listed[:2] == ["big.mov", "IMG_0123.jpg"], listed[:5])
        check("IMG_0299.jpg" in listed, "a small file")

        delete_answered(s, "IMG_0123.jpg", IDYES)
        s.wait(lambda: "IMG_0123.jpg" not in names(s), "the row to go", 20)
        check(not os.path.exists(os.path.join(photos, "IMG_0123.jpg")), "the file is still there")
        check(s.controls()[124]["text"] == "已删除 IMG_0123.jpg，释放 4.88 KB", s.controls()[124]["text"])
        s.click_control(126)
        s.wait(lambda: path_shown(s).endswith("\\photos"), "上一级 to the folder", 20)
        check(names(s) == ["big.mov", "（299 个小文件）"], names(s))


def test_the_nested_treemap_names_a_box_under_the_pointer_and_goes_down_into_it(h):
    seed(h)
    with Session(h) as s:
        analyse(s)
        r = s.controls()[129]["rect"]
        # The largest row's box is at the top left; its name strip is its own.
        s.xdo("mousemove", str(r[0] + 40), str(r[1] + 10))
        s.xdo("mousemove", str(r[0] + 44), str(r[1] + 10))
        s.wait(lambda: any(t.startswith("C:\\space-seed\n") for t in tooltips(s)), "the tooltip of space-seed", 10)
        tip = [t for t in tooltips(s) if t.startswith("C:\\space-seed")][0]
        lines = tip.split("\n")
        check(lines[1] == "大小：1536.00 GB" and lines[2].startswith("占用空间：") and lines[4] == "文件数：6", tip)
        check(float(lines[3].removeprefix("占比：").rstrip("%")) > 50, tip)
        # Two levels down inside it: videos' name strip, then a.mp4 in videos.
        s.xdo("mousemove", str(r[0] + 60), str(r[1] + 80))
        s.wait(lambda: any(t.startswith("C:\\space-seed\\videos\\a.mp4\n大小：1024.00 GB") for t in tooltips(s)),
               "the tooltip of a.mp4, two levels down", 10)
        shot = s.shot()
        check(shot.count_near(VIDEO_PURPLE, r[0] + 50, r[1] + 70, r[0] + 70, r[1] + 90, 30) > 200,
              "a.mp4 in the video colour inside its folders")
        shot.save(h.artifacts + "/space-tooltip.png")  # the README's picture of the space view
        # The legend under the map names the kinds with their colours.
        check(s.shot().count_near(VIDEO_PURPLE, r[0], r[3] - LEGEND, r[2], r[3], 10) > 40, "the video swatch")
        # A click there selects the shown folder's row holding it; a
        # double-click shows the deepest folder under the pointer.
        s.click(r[0] + 60, r[1] + 80)
        s.wait(lambda: [x["texts"][0] for x in s.list_rows(128)["rows"] if x["selected"]] == ["space-seed"],
               "the click to select space-seed", 20)
        s.double_click(r[0] + 60, r[1] + 80)
        s.wait(lambda: path_shown(s).endswith("space-seed\\videos"), "videos to be shown", 20)
        check(names(s) == ["a.mp4", "b.mkv"], names(s))
        s.xdo("mousemove", str(r[0] - 30), str(r[1] + 80))
        s.wait(lambda: not any(t.startswith("C:\\") for t in tooltips(s)), "the tooltip to go with the pointer", 10)


def black_in(s, rect):
    return s.shot().count_near((0, 0, 0), rect[0], rect[1], rect[2], rect[3] - LEGEND, 0)


def test_file_types_list_each_extension_of_the_drive_and_outline_its_files(h):
    base = os.path.join(h.c_drive(), "space-types")
    shutil.rmtree(base, ignore_errors=True)
    write_file(os.path.join(base, "kept", "a.nvtest"), 512 * GIB)
    write_file(os.path.join(base, "kept", "b.NVTEST"), 256 * GIB)
    write_file(os.path.join(base, "c.nvTest"), 1000)
    h.after_test(lambda: shutil.rmtree(base, ignore_errors=True))
    with Session(h) as s:
        analyse(s)
        check(s.controls()[191]["visible"] == 0, "the types list waits for its button")
        s.click_control(190)
        s.wait(lambda: s.controls()[191]["visible"] == 1 and s.controls()[128]["visible"] == 0, "文件类型 in the list's place", 10)
        listed = s.list_rows(191)
        check([c["title"] for c in listed["columns"]] == ["扩展名", "类型", "文件数", "大小", "占用空间", "占比"], listed["columns"])
        rows = {r["texts"][0]: r for r in listed["rows"]}
        check(".nvtest" in rows, list(rows)[:20])
        check(rows[".nvtest"]["texts"][1:4] == ["其他", "3", "768.00 GB"], rows[".nvtest"])
        check(listed["rows"][0]["texts"][0] == ".nvtest", "the largest first")
        check(".dll" in rows and rows[".dll"]["texts"][1] == "程序", "the prefix's own files count too")
        # A type picked outlines its files in the map (black inside a white edge).
        map_rect = s.controls()[129]["rect"]
        before = black_in(s, map_rect)
        cell = listed["rows"][0]["cells"][0]
        s.click(cell[0] + 10, (cell[1] + cell[3]) // 2)
        s.wait(lambda: black_in(s, map_rect) > before + 200, "the .nvtest files outlined", 10)
        s.shot().save(h.artifacts + "/space-types.png")
        # A header click sorts by that column, largest first; the pick stays.
        lr = s.controls()[191]["rect"]
        s.click(lr[0] + sum(c["width"] for c in listed["columns"][:2]) + 20, lr[1] + 10)
        counts = lambda: [int(r["texts"][2].replace(",", "")) for r in s.list_rows(191)["rows"] if r["texts"][0] != "其他"]
        s.wait(lambda: counts() == sorted(counts(), reverse=True) and counts()[0] > 3, "the types by 文件数", 10)
        check([r["texts"][0] for r in s.list_rows(191)["rows"] if r["selected"]] == [".nvtest"], "the pick kept")
        s.click_control(190)
        s.wait(lambda: s.controls()[128]["visible"] == 1 and s.controls()[191]["visible"] == 0, "the folders back", 10)


def test_file_types_lose_what_delete_removes(h):
    """删除 of a file, then of a folder: the 文件类型 row of their extension
    loses exactly them, without a new analysis, and stays picked."""
    base = os.path.join(h.c_drive(), "types-del")
    shutil.rmtree(base, ignore_errors=True)
    h.after_test(lambda: shutil.rmtree(base, ignore_errors=True))
    write_file(os.path.join(base, "a.nvdel"), 3 * GIB)
    write_file(os.path.join(base, "b.NVDEL"), 1 * GIB)
    write_file(os.path.join(base, "c.nvdel"), 1000)
    write_file(os.path.join(base, "notes.txt"), 1000)
    write_file(os.path.join(base, "sub", "d.nvdel"), 1 * GIB)
    write_file(os.path.join(base, "sub", "e.nvdel2"), 1000)

    picked = lambda: [r["texts"][0] for r in s.list_rows(191)["rows"] if r["selected"]]

    def types_row(ext, pick=False):
        """The row's 文件数 and 大小, and the rows picked, read with the
        types list shown; pick: click the row first."""
        s.click_control(190)
        s.wait(lambda: s.controls()[191]["visible"] == 1, "文件类型 in the list's place", 10)
        rows = {r["texts"][0]: r for r in s.list_rows(191)["rows"]}
        if pick:
            cell = rows[ext]["cells"][0]
            s.click(cell[0] + 10, (cell[1] + cell[3]) // 2)
            s.wait(lambda: picked() == [ext], f"{ext} picked", 10)
        chosen = picked()
        s.click_control(190)
        s.wait(lambda: s.controls()[128]["visible"] == 1, "the folders back", 10)
        return (rows[ext]["texts"][2:4] if ext in rows else ["0", "0"]), chosen

    with Session(h) as s:
        analyse(s)
        check(types_row(".nvdel", pick=True) == (["4", "5.00 GB"], [".nvdel"]), types_row(".nvdel"))
        enter(s, "types-del")
        delete_answered(s, "a.nvdel", IDYES)
        s.wait(lambda: "a.nvdel" not in names(s), "the file's row to go", 20)
        check(not os.path.exists(os.path.join(base, "a.nvdel")), "a.nvdel is still there")
        # The sums drop; the row picked stays picked while it has files.
        check(types_row(".nvdel") == (["3", "2.00 GB"], [".nvdel"]), types_row(".nvdel"))
        delete_answered(s, "sub", IDYES)
        s.wait(lambda: "sub" not in names(s), "the folder's row to go", 30)
        check(types_row(".nvdel") == (["2", "1.00 GB"], [".nvdel"]), types_row(".nvdel"))
        check(types_row(".nvdel2")[0] == ["0", "0"], "the row of e.nvdel2 gone")


TESTS = [
    test_the_space_view_shows_folders_by_size_and_goes_down_and_back,
    test_the_space_view_fills_in_while_it_scans,
    test_space_delete_asks_removes_and_refuses,
    test_space_summary_row_opens_into_its_files,
    test_the_nested_treemap_names_a_box_under_the_pointer_and_goes_down_into_it,
    test_file_types_list_each_extension_of_the_drive_and_outline_its_files,
    test_file_types_lose_what_delete_removes,
]
