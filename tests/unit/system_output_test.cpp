// The system tools' output as the system-space page reads it, against the
// transcripts in tests/fixtures/system, and the page's rows and texts.
#include "uimodel/system_output.h"
#include "uimodel/system_layout.h"
#include "uimodel/system_rows.h"

#include "text/text16.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

ToolLines Split(const std::string& bytes, size_t chunk) {
    ToolLines lines;
    LineSplitter splitter;
    auto sink = [](const std::string& line, void* context) { static_cast<ToolLines*>(context)->push_back(line); };
    for (size_t at = 0; at < bytes.size(); at += chunk)
        SplitToolOutput(&splitter, bytes.data() + at, std::min(chunk, bytes.size() - at), sink, &lines);
    FinishToolOutput(&splitter, sink, &lines);
    return lines;
}

std::string ReadFixture(const char* name) {
    const std::string path = std::string(NORVALE_FIXTURE_DIR) + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    EXPECT_NE(file, nullptr) << path;
    std::string bytes;
    if (!file) return bytes;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
    std::fclose(file);
    return bytes;
}

ToolLines Fixture(const char* name) { return Split(ReadFixture(name), 7); }

std::u16string Text(const char16_t* text) { return std::u16string(text); }

const uint64_t KiB = 1024, MiB = KiB * 1024, GiB = MiB * 1024;

uint64_t Size(const char* text) {
    uint64_t bytes = 12345;
    return ParseDismSize(text, &bytes) ? bytes : ~0ull;
}

}  // namespace

TEST(SystemOutput, SizesInEveryUnitAndNothingElse) {
    EXPECT_EQ(Size("0 bytes"), 0u);
    EXPECT_EQ(Size(" 17 bytes "), 17u);
    EXPECT_EQ(Size("512.25 KB"), 512 * KiB + KiB / 4);
    EXPECT_EQ(Size("1023.50 MB"), 1023 * MiB + MiB / 2);
    EXPECT_EQ(Size("2.25 GB"), 2 * GiB + GiB / 4);
    EXPECT_EQ(Size("7,85 GB"), Size("7.85 GB"));
    EXPECT_EQ(Size("1.5 TB"), 1536 * GiB);
    for (const char* bad : {"", "GB", "7.85", "7.85GB", "7.85 GiB", "7.85 Go", "-1 GB", "0.5 bytes", "n/a",
                            "7.85 GB extra", "99999999999999999 GB"})
        EXPECT_EQ(Size(bad), ~0ull) << bad;
}

TEST(SystemOutput, ComponentStoreReports) {
    ComponentStoreReport r = ParseComponentStoreReport(Fixture("analyze-reclaimable.txt"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.explorerSize, Size("8.07 GB"));
    EXPECT_EQ(r.actualSize, Size("7.85 GB"));
    EXPECT_EQ(r.shared, Size("5.59 GB"));
    EXPECT_EQ(r.backups, Size("2.25 GB"));
    EXPECT_EQ(r.cache, Size("13.51 MB"));
    EXPECT_EQ(r.reclaimablePackages, 4);
    EXPECT_TRUE(r.recommended);

    r = ParseComponentStoreReport(Fixture("analyze-none.txt"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.cache, 0u);
    EXPECT_EQ(r.reclaimablePackages, 0);
    EXPECT_FALSE(r.recommended);

    r = ParseComponentStoreReport(Fixture("analyze-units.txt"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.actualSize, GiB + GiB / 2);
    EXPECT_EQ(r.shared, 1023 * MiB + MiB / 2);
    EXPECT_EQ(r.backups, 512 * KiB + KiB / 4);

    // Cut off, another language, no numbers, a failed run: never a number.
    for (const char* name : {"analyze-cut.txt", "analyze-german.txt", "analyze-no-numbers.txt", "analyze-elevation.txt",
                             "reserved-enabled.txt", "powercfg-ok.txt"}) {
        r = ParseComponentStoreReport(Fixture(name));
        EXPECT_FALSE(r.ok) << name;
        EXPECT_EQ(r.actualSize + r.backups + r.cache, 0u) << name;
    }
}

TEST(SystemOutput, ReservedStorageState) {
    EXPECT_EQ(ParseReservedStorageState(Fixture("reserved-enabled.txt")), RESERVED_ENABLED);
    EXPECT_EQ(ParseReservedStorageState(Fixture("reserved-disabled.txt")), RESERVED_DISABLED);
    EXPECT_EQ(ParseReservedStorageState(Fixture("reserved-set-refused.txt")), RESERVED_UNREADABLE);
    EXPECT_EQ(ParseReservedStorageState(Fixture("analyze-german.txt")), RESERVED_UNREADABLE);
    EXPECT_EQ(ParseReservedStorageState({"Reserved storage is enabled.", "Reserved storage is disabled."}),
              RESERVED_UNREADABLE);
}

TEST(SystemOutput, ProgressLinesAndHowTheOutputSplits) {
    EXPECT_EQ(ParseDismProgress("[==========================100.0%==========================]"), 1000);
    EXPECT_EQ(ParseDismProgress("[====                       40.0%                          ]"), 400);
    EXPECT_EQ(ParseDismProgress("  [=  7%  ]"), 70);
    for (const char* line : {"", "40.0%", "[====   ]", "Error: 740", "[== 140.0% ==]", "[== 4x0.0% ==]", "[==]40%"})
        EXPECT_EQ(ParseDismProgress(line), -1) << line;

    // The bar is redrawn after a bare '\r': each drawing is a line of its
    // own, whatever the chunks the pipe hands over; "\r\n" ends one line.
    std::vector<int32_t> seen;
    for (size_t chunk : {1u, 3u, 4096u}) {
        seen.clear();
        for (const std::string& line : Split(ReadFixture("cleanup-progress.txt"), chunk))
            if (ParseDismProgress(line.c_str()) >= 0) seen.push_back(ParseDismProgress(line.c_str()));
        EXPECT_EQ(seen, (std::vector<int32_t>{0, 100, 400, 800, 1000})) << chunk;
    }
    const ToolLines lines = Split("a\r\nb\n\nc\rd", 2);
    EXPECT_EQ(lines, (ToolLines{"a", "b", "", "c", "d"}));
}

TEST(SystemOutput, TheLineThatSaysWhyAToolFailed) {
    ToolLines lines = Fixture("cleanup-pending.txt");
    ASSERT_GE(ToolMessageLine(lines), 0);
    EXPECT_EQ(lines[ToolMessageLine(lines)], "The operation could not be completed due to pending operations.");
    lines = Fixture("analyze-elevation.txt");
    EXPECT_EQ(lines[ToolMessageLine(lines)], "Elevated permissions are required to run DISM.");
    lines = Fixture("powercfg-denied.txt");
    EXPECT_EQ(lines[ToolMessageLine(lines)].substr(0, 44), "An unexpected error condition has occurred. ");
    lines = {"text", "[=====  50.0%  ]", "", "The DISM log file can be found at C:\\x.log", " "};
    EXPECT_EQ(ToolMessageLine(lines), 0);
    EXPECT_EQ(ToolMessageLine(Fixture("powercfg-ok.txt")), -1);
}

TEST(SystemRows, EachActionRunsExactlyItsDocumentedCommand) {
    struct Expected {
        SystemAction action;
        const char16_t* program;
        const char16_t* arguments;
    } expected[] = {
        {SA_HIBER_REDUCE, u"powercfg.exe", u"/hibernate /type reduced"},
        {SA_HIBER_OFF, u"powercfg.exe", u"/hibernate off"},
        {SA_COMPONENTS_ANALYZE, u"Dism.exe", u"/Online /Cleanup-Image /AnalyzeComponentStore /English"},
        {SA_COMPONENTS_CLEAN, u"Dism.exe", u"/Online /Cleanup-Image /StartComponentCleanup"},
        {SA_RESERVED_READ, u"Dism.exe", u"/Online /Get-ReservedStorageState /English"},
        {SA_RESERVED_OFF, u"Dism.exe", u"/Online /Set-ReservedStorageState /State:Disabled"},
    };
    int commands = 0;
    for (int a = 0; a < SA_COUNT; ++a)
        if (SystemActionCommand(static_cast<SystemAction>(a))) ++commands;
    EXPECT_EQ(commands, 6);
    for (const Expected& e : expected) {
        const SystemCommand* command = SystemActionCommand(e.action);
        ASSERT_NE(command, nullptr);
        EXPECT_EQ(Text(command->program), e.program);
        EXPECT_EQ(Text(command->arguments), e.arguments);
    }
    // Readings ask nothing; every change asks, and every action sits in its own row.
    EXPECT_FALSE(SystemActionAsks(SA_COMPONENTS_ANALYZE));
    EXPECT_FALSE(SystemActionAsks(SA_RESERVED_READ));
    for (SystemAction a : {SA_HIBER_REDUCE, SA_HIBER_OFF, SA_COMPONENTS_CLEAN, SA_RESTORE_DELETE, SA_RESERVED_OFF}) {
        EXPECT_TRUE(SystemActionAsks(a)) << a;
        const SystemItem item = SystemActionItem(a);
        EXPECT_TRUE(SystemRowAction(item, 0) == a || SystemRowAction(item, 1) == a) << a;
    }
    EXPECT_EQ(SystemActionRemeasure(SA_COMPONENTS_CLEAN), SA_COMPONENTS_ANALYZE);
    EXPECT_EQ(SystemActionRemeasure(SA_RESERVED_OFF), SA_RESERVED_READ);
}

TEST(SystemRows, QuestionsNameWhatIsLost) {
    SystemFacts facts = {};
    facts.restore = FACT_READ;
    facts.restorePoints = 5;
    char16_t text[512];
    struct {
        SystemAction action;
        const char16_t* loss;
    } cases[] = {
        {SA_HIBER_OFF, u"关闭后将无法休眠，快速启动也会关闭"},
        {SA_HIBER_REDUCE, u"精简后将无法休眠，保留快速启动"},
        {SA_RESTORE_DELETE, u"删除后无法把系统还原到这些时间点"},
        {SA_RESERVED_OFF, u"关闭后，系统更新可能因空间不足而失败"},
        {SA_COMPONENTS_CLEAN, u"几分钟到半小时"},
        {SA_COMPONENTS_CLEAN, u"请不要关闭计算机"},
        {SA_COMPONENTS_CLEAN, u"关闭到通知区域不会中断"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(SystemQuestionText(c.action, facts, text, 512)) << c.action;
        EXPECT_NE(Text(text).find(c.loss), std::u16string::npos) << c.action;
    }
    ASSERT_TRUE(SystemQuestionText(SA_RESTORE_DELETE, facts, text, 512));
    EXPECT_NE(Text(text).find(u"删除 4 个旧的还原点"), std::u16string::npos);
    EXPECT_FALSE(SystemQuestionText(SA_COMPONENTS_ANALYZE, facts, text, 512));
}

TEST(SystemRows, RowsShowWhatWasMeasuredAndActionsNeedAdministratorMode) {
    SystemFacts facts = {};
    SystemRowText row;
    // Nothing read yet: no figure anywhere.
    for (int item = 0; item < SYS_ITEM_COUNT; ++item) {
        DescribeSystemRow(static_cast<SystemItem>(item), facts, true, false, &row);
        EXPECT_EQ(Text(row.size), u"–") << item;
    }
    facts.hiberFile = FACT_READ;
    facts.hiberBytes = 6871947674ull;  // 6.40 GB
    facts.hiber = HibernationStateOf(true, 1, 2);
    DescribeSystemRow(SYS_HIBERNATION, facts, true, false, &row);
    EXPECT_EQ(Text(row.name), u"休眠文件 (hiberfil.sys)");
    EXPECT_EQ(Text(row.size), u"6.40 GB");
    EXPECT_EQ(Text(row.state), u"完整");
    EXPECT_EQ(Text(row.action[0]), u"精简");
    EXPECT_EQ(Text(row.action[1]), u"关闭休眠");
    EXPECT_TRUE(row.enabled[0] && row.enabled[1]);
    DescribeSystemRow(SYS_HIBERNATION, facts, true, true, &row);
    EXPECT_FALSE(row.enabled[0] || row.enabled[1]) << "busy";
    DescribeSystemRow(SYS_HIBERNATION, facts, false, false, &row);
    EXPECT_EQ(Text(row.size), u"6.40 GB") << "the file's size needs no rights";
    EXPECT_EQ(Text(row.action[0]), u"需要管理员模式");
    EXPECT_EQ(Text(row.action[1]), u"需要管理员模式");
    EXPECT_FALSE(row.enabled[0] || row.enabled[1]);

    facts.components = FACT_READ;
    facts.report = ParseComponentStoreReport(Fixture("analyze-reclaimable.txt"));
    DescribeSystemRow(SYS_COMPONENTS, facts, true, false, &row);
    EXPECT_EQ(Text(row.size), u"7.85 GB");
    EXPECT_EQ(Text(row.state), u"分析后可回收 2.26 GB");
    facts.components = FACT_UNREADABLE;
    DescribeSystemRow(SYS_COMPONENTS, facts, true, false, &row);
    EXPECT_EQ(Text(row.size), u"无法读取");
    EXPECT_EQ(Text(row.state), u"无法读取");

    facts.restore = FACT_READ;
    facts.shadowUsed = 3 * GiB;
    facts.restorePoints = 1;
    DescribeSystemRow(SYS_RESTORE, facts, true, false, &row);
    EXPECT_EQ(Text(row.size), u"3.00 GB");
    EXPECT_EQ(Text(row.state), u"1 个还原点");
    EXPECT_EQ(Text(row.action[1]), u"删除旧的还原点");
    EXPECT_FALSE(row.enabled[1]) << "the newest point is kept: one has nothing to delete";
    facts.restorePoints = 3;
    DescribeSystemRow(SYS_RESTORE, facts, true, false, &row);
    EXPECT_TRUE(row.enabled[1]);

    facts.reserved = FACT_READ;
    facts.reservedState = RESERVED_ENABLED;
    DescribeSystemRow(SYS_RESERVED, facts, true, false, &row);
    EXPECT_EQ(Text(row.state), u"已启用");
    EXPECT_TRUE(row.enabled[1]);
    facts.reservedState = RESERVED_DISABLED;
    DescribeSystemRow(SYS_RESERVED, facts, true, false, &row);
    EXPECT_EQ(Text(row.state), u"已关闭");
    EXPECT_FALSE(row.enabled[1]);

    // 说明 needs no rights and no tool.
    DescribeSystemRow(SYS_PAGEFILE, facts, false, true, &row);
    EXPECT_EQ(Text(row.action[1]), u"说明");
    EXPECT_TRUE(row.enabled[1]);
}

TEST(SystemRows, HibernationState) {
    EXPECT_EQ(HibernationStateOf(true, 1, 1), HIBER_REDUCED);
    EXPECT_EQ(HibernationStateOf(true, -1, 2), HIBER_FULL);
    EXPECT_EQ(HibernationStateOf(true, -1, -1), HIBER_ON);
    EXPECT_EQ(HibernationStateOf(false, 0, 2), HIBER_OFF);
    EXPECT_EQ(HibernationStateOf(true, 0, 2), HIBER_OFF) << "the setting, not a file left behind";
    EXPECT_EQ(HibernationStateOf(false, -1, -1), HIBER_OFF);
}

TEST(SystemRows, ResultTexts) {
    char16_t text[256];
    FreedText(10 * GiB, 10 * GiB + 3 * GiB / 2, text, 256);
    EXPECT_EQ(Text(text), u"已释放 1.50 GB");
    FreedText(10 * GiB, 9 * GiB, text, 256);
    EXPECT_EQ(Text(text), u"已释放 0 B") << "space taken meanwhile by something else is no negative gain";

    ASSERT_TRUE(ToolFailureText(SA_COMPONENTS_CLEAN, 0x800f0806u, u"The operation could not be completed.", text, 256));
    EXPECT_EQ(Text(text), u"清理组件存储失败（退出代码 0x800f0806）：The operation could not be completed.");
    ASSERT_TRUE(ToolFailureText(SA_COMPONENTS_ANALYZE, 740, nullptr, text, 256));
    EXPECT_EQ(Text(text), u"分析组件存储失败（退出代码 740）");
    ASSERT_TRUE(ToolFailureText(SA_RESERVED_OFF, 0x800f0975u, u"in use", text, 256));
    EXPECT_NE(Text(text).find(u"有更新待完成时，系统会拒绝关闭保留的存储"), std::u16string::npos);

    ASSERT_TRUE(ActionDoneText(SA_HIBER_OFF, true, 5 * GiB, 11 * GiB + 410 * MiB, text, 256));
    EXPECT_EQ(Text(text), u"关闭休眠：完成，已释放 6.40 GB");
    ASSERT_TRUE(ActionDoneText(SA_HIBER_OFF, false, 5 * GiB, 0, text, 256));
    EXPECT_EQ(Text(text), u"关闭休眠：完成");
    ASSERT_TRUE(RestoreRemovalText(3, 1, 0x800423f3u, true, GiB, 2 * GiB, text, 256));
    EXPECT_EQ(Text(text), u"删除旧的还原点：删除了 3 个，1 个未能删除（错误 0x800423f3），已释放 1.00 GB");
    ASSERT_TRUE(ToolStartFailureText(u"Dism.exe", 2, text, 256));
    EXPECT_EQ(Text(text), u"无法启动 Dism.exe（错误 2）");
    ASSERT_TRUE(WmiFailureText(SA_RESTORE_READ, static_cast<int32_t>(0x80041003u), text, 256));
    EXPECT_EQ(Text(text), u"读取还原点失败（WMI 0x80041003）");
    ASSERT_TRUE(ActionRunningText(SA_COMPONENTS_CLEAN, 400, text, 256));
    EXPECT_EQ(Text(text), u"正在清理组件存储... 40.0%");

    ComponentStoreReport report = ParseComponentStoreReport(Fixture("analyze-none.txt"));
    ASSERT_TRUE(ComponentStoreSummary(report, text, 256));
    EXPECT_EQ(Text(text), u"组件存储：实际大小 5.97 GB，与 Windows 共享 5.43 GB，备份和已禁用的功能 531.18 MB，"
                          u"缓存和临时数据 0 B，可回收的包 0 个，无需清理");
}

TEST(SystemRows, OldRestorePointsAreAllButTheNewest) {
    EXPECT_EQ(OldRestorePoints({}), std::vector<uint32_t>{});
    EXPECT_EQ(OldRestorePoints({42}), std::vector<uint32_t>{});
    EXPECT_EQ(OldRestorePoints({40, 57, 41}), (std::vector<uint32_t>{40, 41}));
}

TEST(SystemRows, ShadowStorageOfTheSystemVolumeOnly) {
    const char16_t* volume = u"\\\\?\\Volume{4c1b02c1-d990-11dc-99ae-806e6f6e6963}\\";
    EXPECT_TRUE(ShadowStorageOnVolume(
        u"Win32_Volume.DeviceID=\"\\\\\\\\?\\\\Volume{4C1B02C1-D990-11DC-99AE-806E6F6E6963}\\\\\"", volume));
    EXPECT_FALSE(ShadowStorageOnVolume(
        u"Win32_Volume.DeviceID=\"\\\\\\\\?\\\\Volume{5d1b02c1-d990-11dc-99ae-806e6f6e6963}\\\\\"", volume));
    EXPECT_FALSE(ShadowStorageOnVolume(
        u"Win32_Volume.DeviceID=\"\\\\\\\\?\\\\Volume{4c1b02c1-d990-11dc-99ae-806e6f6e6963}\\\\\"x", volume));
    EXPECT_FALSE(ShadowStorageOnVolume(u"Win32_Volume.DeviceID=\"\\\\?\\Volume{4c1b02c1-d990-11dc-99ae-806e6f6e6963}\\\"",
                                       volume))
        << "backslashes not doubled: not a WMI path";
    EXPECT_FALSE(ShadowStorageOnVolume(u"", volume));
}

// At the smallest window and a large one, at 96 to 192 DPI: every control
// inside the page's area, the columns apart, the rows one under another.
TEST(SystemLayout, TheRowsFitThePageAtEveryScale) {
    auto inside = [](const LayoutRect& r, const LayoutRect& a) {
        return r.x >= a.x && r.y >= a.y && r.x + r.width <= a.x + a.width && r.y + r.height <= a.y + a.height;
    };
    for (int dpi : {96, 120, 144, 192}) {
        for (int large : {0, 1}) {
            const int W = ScaleLength(large ? 1400 : 684, dpi), H = ScaleLength(large ? 900 : 411, dpi);
            const MainLayout main = ComputeMainLayout(W, H, dpi);
            const LayoutRect area = SystemPageArea(main, dpi);
            EXPECT_TRUE(inside(area, main.page));
            EXPECT_LE(area.y + area.height, main.statusBand.y);
            const SystemPageLayout l = ComputeSystemPageLayout(area, dpi);
            const std::string at = std::to_string(dpi) + " dpi " + std::to_string(W) + "x" + std::to_string(H);
            EXPECT_TRUE(inside(l.status, area)) << at;
            EXPECT_GE(l.status.height, ScaleLength(40, dpi)) << at;
            for (int row = 0; row < SYS_ITEM_COUNT; ++row) {
                for (const LayoutRect& r : {l.name[row], l.state[row], l.size[row], l.action[row][0], l.action[row][1]})
                    EXPECT_TRUE(inside(r, area)) << at << " row " << row;
                EXPECT_LE(l.name[row].x + l.name[row].width, l.size[row].x) << at;
                EXPECT_LE(l.size[row].x + l.size[row].width, l.action[row][0].x) << at;
                EXPECT_LE(l.action[row][0].x + l.action[row][0].width, l.action[row][1].x) << at;
                EXPECT_LE(l.name[row].y + l.name[row].height, l.state[row].y) << at;
                EXPECT_GE(l.name[row].width, ScaleLength(120, dpi)) << at;
                const LayoutRect& below = row + 1 < SYS_ITEM_COUNT ? l.action[row + 1][0] : l.status;
                EXPECT_LE(l.action[row][0].y + l.action[row][0].height, below.y) << at;
                EXPECT_LE(l.state[row].y + l.state[row].height, row + 1 < SYS_ITEM_COUNT ? l.name[row + 1].y : l.status.y)
                    << at;
            }
        }
    }
}
