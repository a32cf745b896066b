"""The system-space page under Wine with fake system tools: powercfg.exe and
Dism.exe in the prefix's system folder are norvale_fake_tool.exe, which
records its command line and prints a fixture from tests/fixtures/system;
System Restore is the GUI build's stand-in (Wine's WMI has no restore
points to give)."""
import os
import shutil
import subprocess
import time

from harness import Session, check, write_file
from test_trust import marker, planted_program, ran

GIB = 1 << 30
IDYES, IDNO, IDOK = 6, 7, 1
FIXTURES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fixtures", "system")
POWER = r"HKLM\SYSTEM\CurrentControlSet\Control\Power"

# Row r's cells: name, state, size, first action, second action.
def cell(row, which):
    return 140 + row * 5 + ["name", "state", "size", "a", "b"].index(which)


STATUS = 174
HIBER, COMPONENTS, RESTORE, RESERVED, PAGEFILE = range(5)


def system32(h):
    return os.path.join(h.c_drive(), "windows", "system32")


def on_disk(folder, name):
    """The name as the folder spells it (Wine has dism.exe in lower case)."""
    for entry in os.listdir(folder):
        if entry.lower() == name.lower():
            return os.path.join(folder, entry)
    return os.path.join(folder, name)


def install_tools(h, fixtures):
    """The fake tools in the system folder, the originals kept aside and put
    back after the test; fixtures maps a command's key (analyze, cleanup,
    reserved-get, reserved-set, hibernate-off, hibernate-reduced) to a
    fixture file and an exit code."""
    tools = os.path.join(h.artifacts, "system-tools")
    shutil.rmtree(tools, ignore_errors=True)
    os.makedirs(tools)
    for key, (fixture, code) in fixtures.items():
        shutil.copy(os.path.join(FIXTURES, fixture), os.path.join(tools, key + ".txt"))
        if code:
            with open(os.path.join(tools, key + ".code"), "w") as f:
                f.write(hex(code))
    kept = []
    for name in ("powercfg.exe", "Dism.exe"):
        path = on_disk(system32(h), name)
        if os.path.exists(path):
            shutil.move(path, path + ".norvale-kept")
            kept.append(path)
        shutil.copy(os.path.join(h.build, "norvale_fake_tool.exe"), path)

    def restore():
        h.kill_wine()
        for name in ("powercfg.exe", "Dism.exe"):
            path = on_disk(system32(h), name)
            if os.path.exists(path):
                os.unlink(path)
        for path in kept:
            shutil.move(path + ".norvale-kept", path)
        for name in ("hiberfil.sys", "pagefile.sys"):
            if os.path.exists(os.path.join(h.c_drive(), name)):
                os.unlink(os.path.join(h.c_drive(), name))
        # The power settings seed_files and the fake powercfg wrote.
        for value in ("HibernateEnabled", "HiberFileType"):
            subprocess.run(["wine", "reg", "delete", POWER, "/v", value, "/f"], env=h.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60)
        h.kill_wine()

    h.after_test(restore)
    return tools


def tool_calls(tools):
    path = os.path.join(tools, "calls.txt")
    if not os.path.exists(path):
        return []
    return [line.split("\t") for line in open(path, encoding="utf-8").read().splitlines()]


def env_for(tools, calls, admin="1", restore="3221225472:40,57,41"):
    # Wine has a dism.exe of its own, which it prefers to the file in the
    # system folder unless told to load the native one there.
    return {"NORVALE_TEST_TOOLS": "Z:" + tools.replace("/", "\\"), "NORVALE_TEST_CALLS": calls,
            "NORVALE_TEST_ADMIN": admin, "NORVALE_TEST_RESTORE": restore,
            "WINEDLLOVERRIDES": "mscoree,mshtml=;dism.exe,powercfg.exe=n"}


def seed_files(h, s, hibernate_type=2):
    write_file(os.path.join(h.c_drive(), "hiberfil.sys"), 6871947674)  # 6.40 GB, sparse
    write_file(os.path.join(h.c_drive(), "pagefile.sys"), 2 * GIB)
    s.wine("reg", "add", POWER, "/v", "HibernateEnabled", "/t", "REG_DWORD", "/d", "1", "/f")
    s.wine("reg", "add", POWER, "/v", "HiberFileType", "/t", "REG_DWORD", "/d", str(hibernate_type), "/f")


def open_page(s):
    s.click_client(80, 168)
    s.wait(lambda: s.controls()[cell(HIBER, "name")]["visible"] == 1, "the system-space page", 20)


def text(s, control_id):
    return s.controls()[control_id]["text"]


def wait_status(s, prefix, timeout=30):
    s.wait(lambda: text(s, STATUS).startswith(prefix), f"status {prefix!r} (now {text(s, STATUS)!r})", timeout)
    return text(s, STATUS)


def question(s):
    box = s.dialog()
    return box, "\n".join(c["text"] for c in box["children"])


def test_rows_readings_questions_and_commands(h):
    tools = install_tools(h, {"analyze": ("analyze-reclaimable.txt", 0), "reserved-get": ("reserved-enabled.txt", 0),
                              "hibernate-off": ("powercfg-ok.txt", 0)})
    calls = os.path.join(h.artifacts, "system-calls.txt")
    if os.path.exists(calls):
        os.unlink(calls)
    # A powercfg.exe and a Dism.exe beside the program must never run.
    folder = os.path.join(h.c_drive(), "users", "Public", "Downloads", "plantsys")
    exe = planted_program(h, folder)
    for name in ("powercfg.exe", "Dism.exe"):
        shutil.copy(os.path.join(h.build, "norvale_planted.exe"), os.path.join(folder, name))
    mark = marker(h)
    env = env_for(tools, "Z:" + calls.replace("/", "\\"))
    env["NORVALE_TEST_MARKER"] = "Z:" + mark.replace("/", "\\")
    h.kill_wine()
    with Session(h, exe=exe, env=env) as s:
        seed_files(h, s)
        open_page(s)
        c = s.controls()
        names = [c[cell(r, "name")]["text"] for r in range(5)]
        check(names == ["休眠文件 (hiberfil.sys)", "组件存储 (WinSxS)", "系统还原点", "保留的存储", "虚拟内存 (pagefile.sys)"],
              names)
        check(c[cell(HIBER, "size")]["text"] == "6.40 GB" and c[cell(HIBER, "state")]["text"] == "完整",
              (c[cell(HIBER, "size")]["text"], c[cell(HIBER, "state")]["text"]))
        check(c[cell(PAGEFILE, "size")]["text"] == "2.00 GB", c[cell(PAGEFILE, "size")]["text"])
        check(c[cell(COMPONENTS, "state")]["text"] == "未分析", c[cell(COMPONENTS, "state")]["text"])
        check(tool_calls(tools) == [], f"a tool ran at start: {tool_calls(tools)}")

        s.click_control(cell(COMPONENTS, "a"))  # 分析: a reading, asked nothing
        wait_status(s, "组件存储：实际大小 7.85 GB，与 Windows 共享 5.59 GB，备份和已禁用的功能 2.25 GB，缓存和临时数据 13.51 MB，"
                       "可回收的包 4 个，建议清理")
        check(text(s, cell(COMPONENTS, "size")) == "7.85 GB", text(s, cell(COMPONENTS, "size")))
        check(text(s, cell(COMPONENTS, "state")) == "分析后可回收 2.26 GB", text(s, cell(COMPONENTS, "state")))
        s.click_control(cell(RESERVED, "a"))
        wait_status(s, "保留的存储：已启用")
        check(text(s, cell(RESERVED, "state")) == "已启用", text(s, cell(RESERVED, "state")))
        s.click_control(cell(RESTORE, "a"))
        wait_status(s, "系统还原点：3 个，卷影存储已用 3.00 GB")
        check(text(s, cell(RESTORE, "size")) == "3.00 GB" and text(s, cell(RESTORE, "state")) == "3 个还原点",
              "restore row")
        sys32 = "C:\\windows\\system32\\"
        expected = [f'"{sys32}Dism.exe" /Online /Cleanup-Image /AnalyzeComponentStore /English',
                    f'"{sys32}Dism.exe" /Online /Get-ReservedStorageState /English']
        check([line for _, line in tool_calls(tools)] == expected, tool_calls(tools))
        check(all(path.lower() == (sys32 + "dism.exe").lower() for path, _ in tool_calls(tools)), tool_calls(tools))

        # 关闭休眠: Return and 否 run nothing, 是 runs exactly the documented line.
        s.click_control(cell(HIBER, "b"))
        box, said = question(s)
        check("关闭后将无法休眠，快速启动也会关闭" in said, said)
        s.xdo("key", "Return")
        s.wait(lambda: s.dialogs() == [], "the question to close on Return", 10)
        s.click_control(cell(HIBER, "b"))
        box, _ = question(s)
        s.answer(box, IDNO)
        s.wait(lambda: s.dialogs() == [], "the question to close on 否", 10)
        time.sleep(1)
        check(len(tool_calls(tools)) == 2, f"否 or Return ran: {tool_calls(tools)[2:]}")
        s.click_control(cell(HIBER, "b"))
        box, _ = question(s)
        s.answer(box, IDYES)
        wait_status(s, "关闭休眠：完成，已释放 ")
        check(tool_calls(tools)[2][1] == f'"{sys32}powercfg.exe" /hibernate off', tool_calls(tools)[2:])
        check(text(s, cell(HIBER, "state")) == "已关闭" and text(s, cell(HIBER, "size")) == "0 B",
              "measured again after the tool")
        check(s.controls()[cell(HIBER, "b")]["enabled"] == 0, "关闭休眠 once it is off")

        # 删除旧的还原点: every point but the newest, after 是 only.
        s.click_control(cell(RESTORE, "b"))
        box, said = question(s)
        check("删除 2 个旧的还原点" in said and "删除后无法把系统还原到这些时间点" in said, said)
        s.xdo("key", "Return")
        s.wait(lambda: s.dialogs() == [], "the question to close on Return", 10)
        time.sleep(1)
        check(not os.path.exists(calls) or "remove" not in open(calls).read(), "Return removed a point")
        s.click_control(cell(RESTORE, "b"))
        box, _ = question(s)
        s.answer(box, IDYES)
        wait_status(s, "删除旧的还原点：删除了 2 个")
        removed = [line for line in open(calls).read().splitlines() if line.startswith("remove-restore-point")]
        check(removed == ["remove-restore-point 40", "remove-restore-point 41"], removed)
        check(text(s, cell(RESTORE, "state")) == "1 个还原点", "read again after the removal")
        check(s.controls()[cell(RESTORE, "b")]["enabled"] == 0, "nothing left to delete")

        s.click_control(cell(PAGEFILE, "b"))  # 说明 runs nothing
        box, said = question(s)
        check("虚拟内存" in said, said)
        s.answer(box, IDOK)
        s.shot().save(h.artifacts + "/system.png")
        check(ran(mark) == [], f"ran beside the program: {ran(mark)}")
        check(len(tool_calls(tools)) == 3, tool_calls(tools))


def test_a_failing_tool_is_shown_with_its_code_and_message(h):
    tools = install_tools(h, {"cleanup": ("cleanup-pending.txt", 0x800F0806),
                              "analyze": ("analyze-elevation.txt", 740),
                              "reserved-set": ("reserved-set-refused.txt", 0x800F0975),
                              "reserved-get": ("reserved-enabled.txt", 0),
                              "hibernate-reduced": ("powercfg-denied.txt", 1)})
    with Session(h, exe="norvale_gui.exe", env=env_for(tools, "")) as s:
        seed_files(h, s)
        open_page(s)
        s.click_control(cell(COMPONENTS, "b"))  # 清理
        box, said = question(s)
        check("几分钟到半小时" in said and "请不要关闭计算机" in said, said)
        s.answer(box, IDYES)
        wait_status(s, "清理组件存储失败（退出代码 0x800f0806）：The operation could not be completed due to pending operations.")
        check(tool_calls(tools)[0][1].endswith('Dism.exe" /Online /Cleanup-Image /StartComponentCleanup'), tool_calls(tools))
        check(len(tool_calls(tools)) == 1, "a failed cleanup is not analysed again as if done")

        s.click_control(cell(COMPONENTS, "a"))
        wait_status(s, "分析组件存储失败（退出代码 740）：Elevated permissions are required to run DISM.")
        check(text(s, cell(COMPONENTS, "size")) == "无法读取", text(s, cell(COMPONENTS, "size")))

        s.click_control(cell(RESERVED, "b"))
        box, said = question(s)
        check("关闭后，系统更新可能因空间不足而失败" in said, said)
        s.answer(box, IDYES)
        status = wait_status(s, "关闭保留的存储失败（退出代码 0x800f0975）（有更新待完成时，系统会拒绝关闭保留的存储）：")
        check("reserved storage is in use" in status, status)
        check(text(s, cell(RESERVED, "state")) == "已启用", "read again after the refusal")

        s.click_control(cell(HIBER, "a"))  # 精简
        box, said = question(s)
        check("精简后将无法休眠，保留快速启动" in said, said)
        s.answer(box, IDYES)
        wait_status(s, "精简休眠文件失败（退出代码 1）：An unexpected error condition has occurred.")
        check(tool_calls(tools)[-1][1].endswith('powercfg.exe" /hibernate /type reduced'), tool_calls(tools))
        check(text(s, cell(HIBER, "state")) == "完整", text(s, cell(HIBER, "state")))


def test_progress_then_the_space_the_drive_got_back(h):
    tools = install_tools(h, {"cleanup": ("cleanup-progress.txt", 0), "analyze": ("analyze-none.txt", 0)})
    with open(os.path.join(tools, "slow"), "w") as f:
        f.write("400")
    with Session(h, exe="norvale_gui.exe", env=env_for(tools, "")) as s:
        open_page(s)
        s.click_control(cell(COMPONENTS, "b"))
        box, _ = question(s)
        s.answer(box, IDYES)
        seen = set()
        end = time.time() + 30
        while time.time() < end and not text(s, STATUS).startswith("清理组件存储：完成"):
            seen.add(text(s, STATUS))
            check(s.controls()[cell(COMPONENTS, "a")]["enabled"] == 0 or text(s, STATUS).startswith("清理组件存储"),
                  "another action while one runs")
        check(text(s, STATUS).startswith("清理组件存储：完成，已释放 "), text(s, STATUS))
        check(any(t.startswith("正在清理组件存储... ") and t.endswith("%") for t in seen), seen)
        # Measured again: the analysis that follows a cleanup fills the row.
        check(text(s, cell(COMPONENTS, "state")) == "分析后可回收 531.18 MB", text(s, cell(COMPONENTS, "state")))
        lines = [line for _, line in tool_calls(tools)]
        check(len(lines) == 2 and lines[1].endswith("/AnalyzeComponentStore /English"), lines)


def test_normal_mode_reads_sizes_and_runs_nothing(h):
    tools = install_tools(h, {})
    with Session(h, exe="norvale_gui.exe", env=env_for(tools, "", admin="0")) as s:
        seed_files(h, s, hibernate_type=1)
        open_page(s)
        c = s.controls()
        check(c[cell(HIBER, "size")]["text"] == "6.40 GB" and c[cell(HIBER, "state")]["text"] == "精简", "sizes read")
        for row in (HIBER, COMPONENTS, RESTORE, RESERVED):
            for slot in ("a", "b"):
                b = c[cell(row, slot)]
                check(b["text"] == "需要管理员模式" and b["enabled"] == 0, (row, slot, b["text"], b["enabled"]))
        check(c[cell(PAGEFILE, "b")]["text"] == "说明" and c[cell(PAGEFILE, "b")]["enabled"] == 1, "说明")
        s.click_control(cell(HIBER, "b"))
        time.sleep(1)
        check(s.dialogs() == [] and tool_calls(tools) == [], "a disabled action asked or ran")


def test_page_at_192_dpi(h):
    """Twice the lengths: every row's parts apart and inside the page, the
    widest button text whole."""
    tools = install_tools(h, {})
    with Session(h, exe="norvale_gui.exe", env=env_for(tools, "", admin="0"), dpi=192) as s:
        s.click_client(160, 336)
        s.wait(lambda: s.controls()[cell(HIBER, "name")]["visible"] == 1, "the system-space page at 192 DPI", 20)
        c = s.controls()
        client = s.window()["client"]
        for row in range(5):
            parts = [c[cell(row, which)]["rect"] for which in ("name", "size", "a", "b") if cell(row, which) in c]
            for left, right in zip(parts, parts[1:]):
                check(left[2] <= right[0], f"row {row}: {left} runs into {right}")
            for r in parts:
                check(client[0] + 320 <= r[0] and r[2] <= client[2] and r[3] <= client[3] - 88, f"row {row}: {r}")
            check(c[cell(row, "state")]["rect"][1] >= c[cell(row, "name")]["rect"][3], f"row {row}: state under name")
        b = c[cell(RESTORE, "b")]["rect"]
        check(b[2] - b[0] >= 2 * 116 - 2 and b[3] - b[1] >= 2 * 28 - 2, f"button at 192 DPI: {b}")
        s.shot().save(h.artifacts + "/system-192.png")


TESTS = [test_rows_readings_questions_and_commands, test_a_failing_tool_is_shown_with_its_code_and_message,
         test_progress_then_the_space_the_drive_got_back, test_normal_mode_reads_sizes_and_runs_nothing,
         test_page_at_192_dpi]
