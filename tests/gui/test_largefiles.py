"""The large-file page end to end: thresholds, sorting, open and delete
through the action cell, with sparse files on the prefix's C: drive."""
import datetime
import os
import stat
import subprocess
import time

from harness import Session, check, save_as, type_save_path, windows_path, write_file

MIB = 1048576
IDYES, IDNO, IDOK = 6, 7, 1
# 2021-03-04 05:06:07 UTC, and a quarter second: shown in Wine's zone, the host's.
ROOT60_TIME = 1614834367.25


def seed(h):
    c = h.c_drive()
    # Large files left by scripts/run's demo or other tests would join the results.
    for sub in ("Recovery", "$RECYCLE.BIN", "data", "long", "bigtree", "norvale-demo"):
        path = os.path.join(c, sub)
        if os.path.isdir(path):
            subprocess.run(["chmod", "-R", "u+w", path])
            subprocess.run(["rm", "-rf", path])
    for name in ("root60.bin",):
        if os.path.exists(os.path.join(c, name)):
            os.unlink(os.path.join(c, name))
    write_file(os.path.join(c, "root60.bin"), 60 * MIB)
    os.utime(os.path.join(c, "root60.bin"), (ROOT60_TIME, ROOT60_TIME))
    write_file(os.path.join(c, "Recovery", "skip600.wim"), 600 * MIB)
    write_file(os.path.join(c, "$RECYCLE.BIN", "S-1-5", "bin150.bin"), 150 * MIB)
    readonly = os.path.join(c, "data", "ro1200.bin")
    write_file(readonly, 1200 * MIB)
    os.chmod(readonly, 0o444)
    return readonly


def unseed(h):
    c = h.c_drive()
    for sub in ("Recovery", "$RECYCLE.BIN", "data", "long"):
        subprocess.run(["chmod", "-R", "u+w", os.path.join(c, sub)], stderr=subprocess.DEVNULL)
        subprocess.run(["rm", "-rf", os.path.join(c, sub)])
    for name in ("root60.bin",):
        if os.path.exists(os.path.join(c, name)):
            os.unlink(os.path.join(c, name))


def open_page(s):
    s.click_client(80, 72)
    s.wait(lambda: s.controls()[102]["visible"] == 1, "the large-file page", 20)


def scan(s, selection):
    s.click_control(113)
    time.sleep(0.3)
    s.xdo("key", "Home", *(["Down"] * selection), "Return")
    s.wait(lambda: s.controls()[113]["text"] == ["≥ 50 MB", "≥ 100 MB", "≥ 500 MB", "≥ 1 GB"][selection],
           "the combo selection", 5)
    s.click_control(103)
    s.wait(lambda: s.controls()[103]["enabled"] == 0 or s.controls()[115]["text"].startswith("扫描完成"), "scan start", 20)
    s.wait(lambda: s.controls()[103]["enabled"] == 1, "the scan to finish", 120)
    return s.list_rows(102)["rows"]


def paths(rows):
    return [r["texts"][0] for r in rows]


def header_click(s, column):
    lst = s.controls()[102]["rect"]
    widths = [c["width"] for c in s.list_rows(102)["columns"]]
    x = lst[0] + 2 + sum(widths[:column]) + widths[column] // 2
    s.click(x, lst[1] + 10)


def action_click(s, row, right_half):
    cell = row["cells"][4]
    middle = (cell[0] + cell[2]) // 2
    s.click(middle + 8 if right_half else cell[0] + 6, (cell[1] + cell[3]) // 2)


def row_of(s, path):
    for row in s.list_rows(102)["rows"]:
        if row["texts"][0] == path:
            return row
    raise AssertionError(f"no row for {path}")


def test_thresholds_sorting_and_summary(h):
    seed(h)
    h.after_test(lambda: unseed(h))
    try:
        with Session(h) as s:
            open_page(s)
            rows = scan(s, 0)
            expected = {"C:\\root60.bin": "60.00 MB", "C:\\$RECYCLE.BIN\\S-1-5\\bin150.bin": "150.00 MB",
                        "C:\\data\\ro1200.bin": "1.17 GB"}
            check({r["texts"][0]: r["texts"][1] for r in rows} == expected, paths(rows))
            check(all(r["texts"][4] == "打开 删除" for r in rows), "action cells")
            columns = [c["title"] for c in s.list_rows(102)["columns"]]
            check(columns == ["文件路径", "大小", "占用空间", "修改时间", "操作"], columns)
            when = time.strftime("%Y-%m-%d %H:%M", time.localtime(ROOT60_TIME))
            check({r["texts"][0]: r["texts"][3] for r in rows}["C:\\root60.bin"] == when, [r["texts"] for r in rows])
            # The space each takes (GetCompressedFileSizeW): Wine 8 reports a
            # sparse file's length there, Windows its allocated clusters.
            check(all(r["texts"][2] == r["texts"][1] for r in rows), [r["texts"][2] for r in rows])
            # Each half shows what a click there does: 打开 in blue, 删除 in red.
            shot = s.shot()
            cell = rows[0]["cells"][4]
            middle = (cell[0] + cell[2]) // 2
            check(shot.count_near((0, 102, 204), cell[0], cell[1], middle, cell[3], 40) > 10, "打开 in the left half")
            check(shot.count_near((200, 30, 30), cell[0], cell[1], middle, cell[3], 40) == 0, "red in the left half")
            check(shot.count_near((200, 30, 30), middle, cell[1], cell[2], cell[3], 40) > 10, "删除 in the right half")
            summary = s.controls()[115]["text"]
            check(summary.startswith("扫描完成：发现 3 个大文件，共 1.38 GB，占用 "), summary)
            check(len(scan(s, 1)) == 2, "threshold 100 MB")
            check(paths(scan(s, 2)) == ["C:\\data\\ro1200.bin"], "threshold 500 MB")
            check(paths(scan(s, 3)) == ["C:\\data\\ro1200.bin"], "threshold 1 GB")

            scan(s, 0)
            header_click(s, 1)  # the first click on a size: largest first
            s.wait(lambda: paths(s.list_rows(102)["rows"]) == ["C:\\data\\ro1200.bin", "C:\\$RECYCLE.BIN\\S-1-5\\bin150.bin",
                                                      "C:\\root60.bin"], "size descending", 20)
            header_click(s, 1)
            s.wait(lambda: paths(s.list_rows(102)["rows"]) == ["C:\\root60.bin", "C:\\$RECYCLE.BIN\\S-1-5\\bin150.bin",
                                                      "C:\\data\\ro1200.bin"], "size ascending", 20)
            header_click(s, 0)
            s.wait(lambda: paths(s.list_rows(102)["rows"]) == ["C:\\$RECYCLE.BIN\\S-1-5\\bin150.bin", "C:\\data\\ro1200.bin",
                                                      "C:\\root60.bin"], "path ascending by code unit", 20)
            # 导出: the rows in the order shown, bytes as integers, the time local with its offset.
            s.click_control(195)
            table, data = save_as(s, os.path.join(h.artifacts, "large-export.csv"))
            check(data.startswith(b"\xef\xbb\xbf") and b"\r\n" in data, data[:40])
            shown = paths(s.list_rows(102)["rows"])
            check(table[0] == ["路径", "大小（字节）", "占用空间（字节）", "文件数", "修改时间"], table[0])
            check([r[0] for r in table[1:]] == shown, table)
            root60 = table[1 + shown.index("C:\\root60.bin")]
            stamp = datetime.datetime.fromtimestamp(int(ROOT60_TIME)).astimezone().isoformat()
            check(root60[1:] == [str(60 * MIB), str(60 * MIB), "1", stamp], root60)
            # A file that cannot be replaced (held open without sharing)
            # stays whole, no temporary file is left beside it, and the
            # reason is told.
            target = os.path.join(h.artifacts, "large-export.csv")
            holder = subprocess.Popen(["wine", os.path.join(h.build, "norvale_probe.exe"), "hold",
                                       "Z:" + target.replace("/", "\\")],
                                      env=h.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            h.after_test(holder.kill)
            check(holder.stdout.readline().strip() == b'{"held":1}', "the helper could not hold the file")
            s.click_control(195)
            type_save_path(s, target)
            titled = lambda title: [d for d in s.dialogs() if d["title"] == title]
            asking = lambda: [d for d in s.dialogs() if any(c["id"] == IDYES for c in d["children"])]
            s.wait(asking, "the question to replace it", 20)
            s.answer(asking()[0], IDYES)
            s.wait(lambda: titled("导出失败"), "the failure to be told", 20)
            texts = [c["text"] for c in titled("导出失败")[0]["children"]]
            check(any(t.startswith("无法导出到 Z:" + target.replace("/", "\\")) and "（错误 " in t for t in texts), texts)
            s.answer(titled("导出失败")[0], IDOK)
            s.wait(lambda: not s.dialogs(), "the box to close", 20)
            check(open(target, "rb").read() == data, "the file was changed")
            check([n for n in os.listdir(h.artifacts) if n.endswith(".tmp")] == [], os.listdir(h.artifacts))
            s.shot().save(h.artifacts + "/largefiles.png")
    finally:
        unseed(h)


def test_delete_and_open_through_the_action_cell(h):
    readonly = seed(h)
    # "big." and "big" are two files; a plain Win32 path drops the dot.
    dotted = os.path.join(h.c_drive(), "data", "big.")
    plain = os.path.join(h.c_drive(), "data", "big")
    write_file(dotted, 70 * MIB)
    write_file(plain, 80 * MIB)
    holder = None
    try:
        with Session(h) as s:
            open_page(s)
            scan(s, 0)
            check(len(s.list_rows(102)["rows"]) == 5, paths(s.list_rows(102)["rows"]))
            header_click(s, 1)  # by size: largest first, then, clicked again, ascending
            time.sleep(0.5)
            header_click(s, 1)
            time.sleep(0.5)
            # "否" keeps the file and its attributes.
            action_click(s, row_of(s, "C:\\data\\ro1200.bin"), True)
            question = s.dialog()
            check(question["title"] == "确认删除", question["title"])
            check("确定删除以下文件？\n\nC:\\data\\ro1200.bin\n\n文件将被永久删除，不会进入回收站。"
                  in [c["text"] for c in question["children"]], question)
            s.answer(question, IDNO)
            s.wait(lambda: not s.dialogs(), "the question to close", 20)
            check(os.path.exists(readonly) and not os.stat(readonly).st_mode & stat.S_IWUSR, "kept read-only")

            # "是" deletes it, read-only as it is, and notes it on the cleanup page.
            action_click(s, row_of(s, "C:\\data\\ro1200.bin"), True)
            s.answer(s.dialog(), IDYES)
            s.wait(lambda: len(s.list_rows(102)["rows"]) == 4, "the row to go", 20)
            check(not os.path.exists(readonly), "the read-only file was deleted")
            # The label counts what is left; the rows keep the chosen order.
            label = s.controls()[115]["text"]
            check(label.startswith("扫描完成：发现 4 个大文件，共 360.00 MB，占用 "), label)
            check(paths(s.list_rows(102)["rows"]) == ["C:\\root60.bin", "C:\\data\\big.", "C:\\data\\big",
                                                      "C:\\$RECYCLE.BIN\\S-1-5\\bin150.bin"], "order after a delete")
            cleanup = s.list_rows(101)["rows"]
            check(cleanup[-1]["texts"][0] == "已删除大文件" and cleanup[-1]["tag"] == -1, cleanup[-1])

            # "big." goes, "big" stays.
            action_click(s, row_of(s, "C:\\data\\big."), True)
            s.answer(s.dialog(), IDYES)
            s.wait(lambda: len(s.list_rows(102)["rows"]) == 3, "the row of big. to go", 20)
            check(not os.path.exists(dotted) and os.path.getsize(plain) == 80 * MIB, "big. versus big")

            # A file held open without sharing cannot be deleted.
            holder = subprocess.Popen(["wine", os.path.join(h.build, "norvale_probe.exe"), "hold",
                                       windows_path(os.path.join(h.c_drive(), "root60.bin"))],
                                      env=h.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            check(holder.stdout.readline().strip() == b'{"held":1}', "the helper could not hold the file")
            action_click(s, row_of(s, "C:\\root60.bin"), True)
            s.answer(s.dialog(), IDYES)
            error = s.dialog()
            check(error["title"] == "错误", error["title"])
            check("删除失败，文件可能正在使用中" in [c["text"] for c in error["children"]], error)
            s.answer(error, IDOK)
            check(os.path.exists(os.path.join(h.c_drive(), "root60.bin")), "the held file is intact")
            check(len(s.list_rows(102)["rows"]) == 3, "the record stays")

            # The left half shows the file in its folder in the system's file browser.
            action_click(s, row_of(s, "C:\\data\\big"), False)
            s.wait(lambda: s.probe("windows", "ExplorerWClass"), "a file browser window", 20)
            browser = s.probe("windows", "ExplorerWClass")[0]
            texts = [browser["title"]] + [c["text"] for c in browser["children"]]
            check(any("data" in t for t in texts), f"the browser shows another folder: {texts}")

            # A file that has grown since the scan is not the file listed:
            # neither 打开 nor 删除 acts on it.
            with open(plain, "r+b") as f:
                f.truncate(81 * MIB)
            for right_half in (False, True):
                action_click(s, row_of(s, "C:\\data\\big"), right_half)
                if right_half:
                    s.answer(s.dialog(), IDYES)
                notice = s.dialog()
                check("文件已变化，请重新扫描" in [c["text"] for c in notice["children"]], notice)
                s.answer(notice, IDOK)
                s.wait(lambda: not s.dialogs(), "the notice to close", 20)
            check(os.path.getsize(plain) == 81 * MIB, "the grown file was deleted")
    finally:
        if holder:
            holder.kill()
        unseed(h)


def test_a_cut_path_never_acts_on_another_file(h):
    seed(h)
    c = h.c_drive()
    folder = os.path.join(c, "long", "n" * 200)
    prefix = "C:\\long\\" + "n" * 200 + "\\"
    # The stored path is cut to 259 units; the cut path names a small file.
    cut = "m" * (259 - len(prefix))
    name = cut + "-tail.bin"
    write_file(os.path.join(folder, name), 70 * MIB)
    write_file(os.path.join(folder, cut), 5)
    try:
        with Session(h) as s:
            open_page(s)
            rows = scan(s, 0)
            stored = prefix + cut
            check(stored in paths(rows), paths(rows))
            action_click(s, row_of(s, stored), True)
            s.answer(s.dialog(), IDYES)
            error = s.dialog()
            check("文件已变化，请重新扫描" in [x["text"] for x in error["children"]], error)
            s.answer(error, IDOK)
            check(os.path.getsize(os.path.join(folder, cut)) == 5, "the other file was touched")
            check(os.path.exists(os.path.join(folder, name)), "the long file is still there")
            check(stored in paths(s.list_rows(102)["rows"]), "the record stays")
    finally:
        unseed(h)


def test_each_file_listed_once_and_only_the_listed_file_deleted(h):
    """A folder "x." beside a folder "x": each one's file is listed once, as
    itself. Then "x" is swapped, from the Linux side, for a link to a folder
    holding a file of the same name and size: 删除 deletes nothing."""
    seed(h)
    base = os.path.join(h.c_drive(), "lfx")
    outside = os.path.join(h.c_drive(), "lfx-outside")
    h.after_test(lambda: (subprocess.run(["rm", "-rf", base, outside]), unseed(h)))
    write_file(os.path.join(base, "x.", "dotted.bin"), 60 * MIB)
    write_file(os.path.join(base, "x", "plain.bin"), 70 * MIB)
    write_file(os.path.join(outside, "plain.bin"), 70 * MIB)
    with Session(h) as s:
        open_page(s)
        listed = [p for p in paths(scan(s, 0)) if p.startswith("C:\\lfx\\")]
        check(sorted(listed) == ["C:\\lfx\\x.\\dotted.bin", "C:\\lfx\\x\\plain.bin"], listed)
        os.rename(os.path.join(base, "x"), os.path.join(base, "x.moved"))
        os.symlink(outside, os.path.join(base, "x"))
        action_click(s, row_of(s, "C:\\lfx\\x\\plain.bin"), True)
        s.answer(s.dialog(), IDYES)
        notice = s.dialog()
        check("文件已变化，请重新扫描" in [c["text"] for c in notice["children"]], notice)
        s.answer(notice, IDOK)
        check(os.path.getsize(os.path.join(outside, "plain.bin")) == 70 * MIB, "the file behind the link was deleted")
        check(os.path.exists(os.path.join(base, "x.moved", "plain.bin")), "the listed file went though it was moved")


def test_files_windows_holds_get_an_explanation(h):
    """pagefile.sys in the root: 说明 in place of 删除 says how to make it
    smaller, and deletes nothing."""
    seed(h)
    pagefile = os.path.join(h.c_drive(), "pagefile.sys")
    h.after_test(lambda: (os.path.exists(pagefile) and os.unlink(pagefile), unseed(h)))
    write_file(pagefile, 64 * MIB)
    with Session(h) as s:
        open_page(s)
        scan(s, 0)
        row = row_of(s, "C:\\pagefile.sys")
        check(row["texts"][4] == "打开 说明", row["texts"])
        action_click(s, row, True)
        box = s.dialog()
        check(box["title"] == "说明", box["title"])
        text = "".join(c["text"] for c in box["children"])
        check("“系统空间”页" in text and "虚拟内存" in text, text)
        s.answer(box, IDOK)
        check(os.path.exists(pagefile), "the file Windows holds was deleted")


TESTS = [test_thresholds_sorting_and_summary, test_delete_and_open_through_the_action_cell,
         test_each_file_listed_once_and_only_the_listed_file_deleted,
         test_a_cut_path_never_acts_on_another_file, test_files_windows_holds_get_an_explanation]
