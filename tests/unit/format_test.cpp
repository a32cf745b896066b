#include "text/format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::u16string Size(uint64_t bytes) {
    char16_t out[kSizeTextUnits];
    FormatSize(bytes, out);
    return out;
}

TEST(FormatSize, EveryThresholdAndTheLargestValue) {
    EXPECT_EQ(Size(0), u"0 B");
    EXPECT_EQ(Size(1023), u"1023 B");
    EXPECT_EQ(Size(1024), u"1.00 KB");
    EXPECT_EQ(Size(1536), u"1.50 KB");
    EXPECT_EQ(Size(1048575), u"1024.00 KB");
    EXPECT_EQ(Size(1048576), u"1.00 MB");
    EXPECT_EQ(Size(1073741823), u"1024.00 MB");
    EXPECT_EQ(Size(1073741824), u"1.00 GB");
    EXPECT_EQ(Size(5368709120ull), u"5.00 GB");
    EXPECT_EQ(Size(UINT64_MAX), u"17179869184.00 GB");
    // 2^63 must not be read as a negative number.
    EXPECT_EQ(Size(1ull << 63), u"8589934592.00 GB");
}

TEST(FormatSize, NullDestinationIsIgnored) { FormatSize(12345, nullptr); }

TEST(FormatText, EachConversion) {
    char16_t out[128];
    std::u16string expected = u"路径|盘|-2147483648|42|18446744073709551615|%";
    EXPECT_EQ(FormatText(out, 128, u"%s|%c|%d|%d|%llu|%%", u"路径", u'盘', -2147483647 - 1, 42, 18446744073709551615ull),
              static_cast<int>(expected.size()));
    EXPECT_EQ(std::u16string(out), expected);
    EXPECT_EQ(FormatText(out, 128, u"%.2f %.2f %.2f", 1.5, 0.004, 1024.0), 17);
    EXPECT_EQ(std::u16string(out), u"1.50 0.00 1024.00");
    expected = u"正在扫描... 已扫描 500 个目录，0 个文件 (0%)";
    EXPECT_EQ(FormatText(out, 128, u"正在扫描... 已扫描 %d 个目录，%d 个文件 (%d%%)", 500, 0, 0), static_cast<int>(expected.size()));
    EXPECT_EQ(std::u16string(out), expected);
    int n = FormatText(out, 128, u"%p", reinterpret_cast<void*>(static_cast<uintptr_t>(0xBEEF)));
    EXPECT_EQ(n, static_cast<int>(sizeof(void*) * 2));
    EXPECT_EQ(std::u16string(out).substr(static_cast<size_t>(n) - 4), u"BEEF");
}

TEST(FormatText, ExactFitAndOneUnitOver) {
    char16_t out[6] = {u'x', u'x', u'x', u'x', u'x', u'x'};
    EXPECT_EQ(FormatText(out, 6, u"%s", u"abcde"), 5);
    EXPECT_EQ(std::u16string(out), u"abcde");
    char16_t small[6];
    for (char16_t& c : small) c = u'x';
    EXPECT_EQ(FormatText(small, 5, u"%s", u"abcde"), -1);
    EXPECT_EQ(small[0], 0);
    EXPECT_EQ(small[5], u'x') << "wrote past the capacity";
    EXPECT_EQ(FormatText(small, 1, u""), 0);
    EXPECT_EQ(FormatText(small, 0, u"a"), -1);
}

TEST(FormatText, PathOf259UnitsPlusSearchSuffixDoesNotFit) {
    std::u16string path(259, u'a');
    char16_t out[260];
    EXPECT_EQ(FormatText(out, 260, u"%s\\*", path.c_str()), -1);
    EXPECT_EQ(out[0], 0);
    std::u16string shorter(257, u'a');
    EXPECT_EQ(FormatText(out, 260, u"%s\\*", shorter.c_str()), 259);
}

TEST(FormatText, InvalidFormatsGiveMinusOneAndEmpty) {
    char16_t out[32];
    for (const char16_t* format : {u"%x", u"%ld", u"%ll", u"%.3f", u"%.2", u"abc%", u"%lld"}) {
        out[0] = u'z';
        EXPECT_EQ(FormatText(out, 32, format, 1), -1);
        EXPECT_EQ(out[0], 0);
    }
    EXPECT_EQ(FormatText(out, 32, nullptr), -1);
    EXPECT_EQ(FormatText(nullptr, 32, u"a"), -1);
}

}  // namespace

namespace {
std::vector<std::u16string> g_traced;
void Collect(const char16_t* line) { g_traced.push_back(line); }
}  // namespace

// Without a sink nothing arrives; with one, each call is one whole line, and
// a line that does not fit arrives as its format rather than cut mid-argument.
TEST(Trace, LinesReachTheSinkFormattedOrAsTheirFormat) {
    g_traced.clear();
    Trace(u"[清理] 开始: %s", u"NPM 缓存");
    SetTraceSink(Collect);
    Trace(u"[清理] 开始: %s -> %s (%d)", u"NPM 缓存", u"C:\\L\\npm-cache", 7);
    Trace(u"%s", std::u16string(600, u'x').c_str());
    Trace(u"bad %q");
    SetTraceSink(nullptr);
    Trace(u"after");
    ASSERT_EQ(g_traced.size(), 3u);
    EXPECT_EQ(g_traced[0], u"[清理] 开始: NPM 缓存 -> C:\\L\\npm-cache (7)");
    EXPECT_EQ(g_traced[1], u"%s");
    EXPECT_EQ(g_traced[2], u"bad %q");
}

namespace {

std::u16string Grouped(uint64_t value, const char16_t* separator, const char* grouping) {
    char16_t out[96];
    return FormatGrouped(value, separator, grouping, out, 96) >= 0 ? std::u16string(out) : u"<none>";
}

}  // namespace

TEST(FormatGrouped, WindowsGroupingForms) {
    EXPECT_EQ(Grouped(0, u",", "3;0"), u"0");
    EXPECT_EQ(Grouped(999, u",", "3;0"), u"999");
    EXPECT_EQ(Grouped(1000, u",", "3;0"), u"1,000");
    EXPECT_EQ(Grouped(200000, u",", "3;0"), u"200,000");
    EXPECT_EQ(Grouped(1234567, u",", "3;0"), u"1,234,567");
    EXPECT_EQ(Grouped(UINT64_MAX, u",", "3;0"), u"18,446,744,073,709,551,615");
    // Indian: three, then twos.
    EXPECT_EQ(Grouped(1234567890, u",", "3;2;0"), u"1,23,45,67,890");
    // Without the repeating 0 only the sizes given are grouped.
    EXPECT_EQ(Grouped(1234567890, u",", "3"), u"1234567,890");
    EXPECT_EQ(Grouped(1234567890, u",", "3;2"), u"12345,67,890");
    // No grouping, and separators of other widths (a no-break space, none).
    EXPECT_EQ(Grouped(1234567, u",", "0"), u"1234567");
    EXPECT_EQ(Grouped(1234567, u",", ""), u"1234567");
    EXPECT_EQ(Grouped(1234567, u"\u00a0", "3;0"), u"1\u00a0234\u00a0567");
    EXPECT_EQ(Grouped(1234567, u"", "3;0"), u"1234567");
}

TEST(FormatGrouped, TooSmallLeavesEmpty) {
    char16_t out[6] = u"xxxxx";
    EXPECT_EQ(FormatGrouped(1234, u",", "3;0", out, 5), -1);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(FormatGrouped(1234, u",", "3;0", out, 6), 5);
    EXPECT_EQ(std::u16string(out), u"1,234");
}
