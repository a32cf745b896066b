// 导出's file as bytes: the CSV writer's quoting and encoding, the times'
// text, and the rows of the space tree down a number of levels.
#include "largefiles/space_tree.h"
#include "text/csv.h"
#include "text/time_text.h"
#include "uimodel/export_rows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Row(std::vector<std::u16string> fields) {
    std::string out;
    CsvAppendRow(&out, fields.data(), fields.size());
    return out;
}

TEST(Csv, QuotesOnlyFieldsThatNeedThemAndDoublesTheirQuotes) {
    EXPECT_EQ(Row({u"plain", u"a,b", u"say \"hi\"", u"two\r\nlines", u"lf\nonly", u""}),
              "plain,\"a,b\",\"say \"\"hi\"\"\",\"two\r\nlines\",\"lf\nonly\",\r\n");
    EXPECT_EQ(Row({u"中文 名.txt"}), "\xE4\xB8\xAD\xE6\x96\x87 \xE5\x90\x8D.txt\r\n") << "UTF-8, never the ANSI page";
    EXPECT_EQ(Row({u"\U0001F600"}), "\xF0\x9F\x98\x80\r\n") << "a surrogate pair is one character";
    // Unpaired halves, in the middle and at the end, each become U+FFFD.
    const char16_t lone[] = {u'x', 0xD800, u'y', 0xDC00, 0xD83D, 0};
    EXPECT_EQ(Row({lone}), "x\xEF\xBF\xBDy\xEF\xBF\xBD\xEF\xBF\xBD\r\n");
}

TEST(TimeText, ListAndIsoFormsArePaddedAndOutOfRangeFieldsRefused) {
    char16_t out[kTimeTextUnits];
    EXPECT_TRUE(FormatListTime(CivilTime{2026, 12, 8, 14, 5, 9}, out));
    EXPECT_EQ(std::u16string(out), u"2026-12-08 14:05");
    EXPECT_TRUE(FormatListTime(CivilTime{987, 1, 2, 3, 4, 5}, out));
    EXPECT_EQ(std::u16string(out), u"0987-01-02 03:04");
    EXPECT_TRUE(FormatIsoTime(CivilTime{2026, 12, 8, 14, 5, 9}, 480, out));
    EXPECT_EQ(std::u16string(out), u"2026-12-08T14:05:09+08:00");
    EXPECT_TRUE(FormatIsoTime(CivilTime{2026, 6, 1, 9, 0, 0}, -270, out));
    EXPECT_EQ(std::u16string(out), u"2026-06-01T09:00:00-04:30");
    EXPECT_TRUE(FormatIsoTime(CivilTime{2026, 6, 1, 9, 0, 0}, 0, out));
    EXPECT_EQ(std::u16string(out), u"2026-06-01T09:00:00+00:00");
    for (const CivilTime& bad : {CivilTime{2026, 13, 1, 0, 0, 0}, CivilTime{2026, 0, 1, 0, 0, 0},
                                 CivilTime{2026, 1, 32, 0, 0, 0}, CivilTime{2026, 1, 1, 24, 0, 0},
                                 CivilTime{2026, 1, 1, 0, 60, 0}, CivilTime{10000, 1, 1, 0, 0, 0}}) {
        out[0] = u'?';
        EXPECT_FALSE(FormatListTime(bad, out)) << bad.year << "-" << bad.month << "-" << bad.day << " " << bad.hour;
        EXPECT_EQ(out[0], 0);
    }
    EXPECT_FALSE(FormatIsoTime(CivilTime{2026, 1, 1, 0, 0, 0}, 19 * 60, out));
    EXPECT_EQ(out[0], 0);
}

// A time written as the file's text: its FILETIME count, to see which row got which.
void CountAsText(uint64_t filetime, char16_t* out) {
    const std::string digits = std::to_string(filetime);
    size_t i = 0;
    for (; i < digits.size(); ++i) out[i] = static_cast<char16_t>(digits[i]);
    out[i] = 0;
}

TEST(Export, TheFileOpensWithTheMarkAndHeaderAndWritesBytesAsPlainIntegers) {
    const std::vector<ExportRow> rows = {
        {u"C:\\大,文件.bin", ~0ull, 4096, 1, true, true, 134000000000000000ull},
        {u"C:\\denied", 0, 0, 0, false, false, 0},
        {u"C:\\（未统计）", 5000, 5000, 0, true, false, 0},
    };
    const std::string csv = ExportCsv(rows, CountAsText);
    EXPECT_EQ(csv,
              "\xEF\xBB\xBF"
              "\xE8\xB7\xAF\xE5\xBE\x84,"                                                        // 路径
              "\xE5\xA4\xA7\xE5\xB0\x8F\xEF\xBC\x88\xE5\xAD\x97\xE8\x8A\x82\xEF\xBC\x89,"          // 大小（字节）
              "\xE5\x8D\xA0\xE7\x94\xA8\xE7\xA9\xBA\xE9\x97\xB4\xEF\xBC\x88\xE5\xAD\x97\xE8\x8A\x82\xEF\xBC\x89,"  // 占用空间（字节）
              "\xE6\x96\x87\xE4\xBB\xB6\xE6\x95\xB0,"                                            // 文件数
              "\xE4\xBF\xAE\xE6\x94\xB9\xE6\x97\xB6\xE9\x97\xB4\r\n"                             // 修改时间
              "\"C:\\\xE5\xA4\xA7,\xE6\x96\x87\xE4\xBB\xB6.bin\",18446744073709551615,4096,1,134000000000000000\r\n"
              "C:\\denied,,,,\r\n"
              "C:\\\xEF\xBC\x88\xE6\x9C\xAA\xE7\xBB\x9F\xE8\xAE\xA1\xEF\xBC\x89,5000,5000,,\r\n");
}

TEST(Export, TheTreeGoesDownAsManyLevelsAsAskedEachFolderFollowedByItsRows) {
    SpaceTree tree;
    const uint32_t a = tree.AddFolder(0, u"a", 1, 0);
    const uint32_t b = tree.AddFolder(a, u"b", 1, 0);
    const uint32_t c = tree.AddFolder(b, u"c", 1, 0);
    tree.AddFolder(0, u"link", 4, SPACE_LINK);
    tree.AddFile(0, u"top.bin", 7, 3 << 20, 3 << 20, 0, 1, 0, 30);
    tree.AddFile(a, u"in-a.bin", 8, 2 << 20, 2 << 20, 0, 1, 0, 20);
    tree.AddFile(c, u"deep.txt", 8, 10, 4096, 0, 1, 0, 50);
    tree.AddFile(c, u"deeper.bin", 10, 5 << 20, 5 << 20, 0, 1, 0, 10);
    tree.Finish();
    auto paths = [&](int32_t levels) {
        std::vector<std::u16string> out;
        for (const ExportRow& row : SpaceExportTree(tree, 0, u"C:\\", levels, 0)) out.push_back(row.path);
        return out;
    };
    EXPECT_EQ(paths(1), (std::vector<std::u16string>{u"C:\\a", u"C:\\top.bin", u"C:\\link"}));
    EXPECT_EQ(paths(2), (std::vector<std::u16string>{u"C:\\a", u"C:\\a\\b", u"C:\\a\\in-a.bin", u"C:\\top.bin",
                                                     u"C:\\link"}));
    const std::vector<std::u16string> all = {u"C:\\a",          u"C:\\a\\b",       u"C:\\a\\b\\c",
                                             u"C:\\a\\b\\c\\deeper.bin", u"C:\\a\\b\\c\\（1 个小文件）",
                                             u"C:\\a\\in-a.bin", u"C:\\top.bin", u"C:\\link"};
    EXPECT_EQ(paths(0), all) << "no limit; a link is never entered";
    const std::vector<ExportRow> rows = SpaceExportTree(tree, 0, u"C:\\", 0, 0);
    EXPECT_EQ(rows[0].size, (2u << 20) + (5u << 20) + 10u);
    EXPECT_EQ(rows[0].files, 3u);
    EXPECT_EQ(rows[0].modified, 50u) << "a folder's row carries its newest file";
}

}  // namespace
