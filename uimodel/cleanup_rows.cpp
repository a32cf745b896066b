#include "uimodel/cleanup_rows.h"

#include "engine/catalogue.h"
#include "engine/overlap.h"
#include "engine/clean.h"

#include <cstddef>

int32_t HeaderTag(int group) { return static_cast<int32_t>(static_cast<uint32_t>(group) | 0x80000000u); }

int32_t ItemTag(int group, int item) { return static_cast<int32_t>((static_cast<uint32_t>(group) << 16) | (static_cast<uint32_t>(item) & 0xFFFFu)); }

bool TagIsHeader(int32_t tag) { return (static_cast<uint32_t>(tag) & 0x80000000u) != 0; }

int TagGroup(int32_t tag) {
    uint32_t bits = static_cast<uint32_t>(tag);
    return TagIsHeader(tag) ? static_cast<int>(bits & 0x7FFFFFFFu) : static_cast<int>((bits >> 16) & 0x7FFFu);
}

int TagItem(int32_t tag) { return static_cast<int>(static_cast<uint32_t>(tag) & 0xFFFFu); }

bool TagNamesGroup(int32_t tag, int* group) {
    if (!TagIsHeader(tag)) return false;
    int g = TagGroup(tag);
    if (g < 0 || g >= kGroupCount) return false;
    *group = g;
    return true;
}

bool TagNamesItem(int32_t tag, int* group, int* item) {
    if (TagIsHeader(tag)) return false;
    int g = TagGroup(tag);
    int i = TagItem(tag);
    if (g >= kGroupCount || i >= g_CleanupGroups[g].itemCount) return false;
    *group = g;
    *item = i;
    return true;
}

uint64_t GroupTotal(int group) {
    uint64_t sum = 0;
    const CleanupGroup& g = g_CleanupGroups[group];
    for (int i = 0; i < g.itemCount; ++i) {
        if (!CoveredWithinGroup(group, i)) sum += ItemSize(g.items[i]);
    }
    return sum;
}

GroupTick GroupTickState(int group) {
    const CleanupGroup& g = g_CleanupGroups[group];
    int ticked = 0;
    for (int i = 0; i < g.itemCount; ++i) ticked += ItemSelected(g.items[i]) ? 1 : 0;
    // A tick claims the whole row's size for the total: an unticked item of
    // any kind (the user's own files included) makes it partial.
    if (ticked == g.itemCount && g.itemCount > 0) return GROUP_TICK_ALL;
    return ticked > 0 || g.selected.load(std::memory_order_relaxed) ? GROUP_TICK_SOME : GROUP_TICK_NONE;
}

std::vector<CatalogueRow> CatalogueRows(const int32_t* expanded, int expandedCount) {
    uint64_t sum[kGroupCount];
    int order[kGroupCount];
    for (int g = 0; g < kGroupCount; ++g) {
        sum[g] = GroupTotal(g);
        order[g] = g;
    }
    // Stable bubble sort, largest first: equal sums keep catalogue order.
    for (int pass = 0; pass < kGroupCount - 1; ++pass) {
        for (int j = 0; j < kGroupCount - 1 - pass; ++j) {
            if (sum[order[j]] < sum[order[j + 1]]) {
                int t = order[j];
                order[j] = order[j + 1];
                order[j + 1] = t;
            }
        }
    }
    std::vector<CatalogueRow> rows;
    for (int k = 0; k < kGroupCount; ++k) {
        int g = order[k];
        if (sum[g] == 0) continue;
        rows.push_back({HeaderTag(g), sum[g]});
        if (g >= expandedCount || !expanded[g]) continue;
        const CleanupGroup& group = g_CleanupGroups[g];
        std::vector<int> items(static_cast<size_t>(group.itemCount));
        for (int i = 0; i < group.itemCount; ++i) items[static_cast<size_t>(i)] = i;
        for (int pass = 0; pass < group.itemCount - 1; ++pass) {
            for (int j = 0; j < group.itemCount - 1 - pass; ++j) {
                if (ItemSize(group.items[items[j]]) < ItemSize(group.items[items[j + 1]])) {
                    int t = items[j];
                    items[j] = items[j + 1];
                    items[j + 1] = t;
                }
            }
        }
        for (int i : items) {
            uint64_t size = ItemSize(group.items[i]);
            if (size) rows.push_back({ItemTag(g, i), size});
        }
    }
    return rows;
}

uint64_t SelectedTotal() {
    uint64_t total = 0;
    for (int g = 0; g < kGroupCount; ++g) {
        const CleanupGroup& group = g_CleanupGroups[g];
        for (int i = 0; i < group.itemCount; ++i) {
            if (ItemSelected(group.items[i]) && !CoveredByAnother(g, i, TickedNow)) total += ItemSize(group.items[i]);
        }
    }
    return total;
}

bool TagSelected(int32_t tag) {
    int g, i;
    if (TagNamesGroup(tag, &g)) return g_CleanupGroups[g].selected.load(std::memory_order_relaxed) != 0;
    if (TagNamesItem(tag, &g, &i)) return ItemSelected(g_CleanupGroups[g].items[i]);
    return false;
}

const char16_t* CleanStatusTag(int32_t status) {
    static const char16_t* const kTags[] = {
        u"【已处理】", u"【部分成功】", u"【需管理员权限】", u"【文件被占用】",
        u"【路径不存在】", u"【无内容可清理】", u"【清理失败】",
    };
    return (status >= 1 && status <= 6) ? kTags[status] : kTags[0];
}

uint32_t LogLineColour(int32_t tag) {
    switch (tag) {
    case CS_DONE:
        return 0x147814;  // green
    case CS_NEED_ADMIN:
        return 0x1E1EC8;  // red
    case CS_PARTIAL:
    case CS_IN_USE:
    case CS_NOTHING:
    case CS_FAILED:
        return 0x0078B4;  // amber
    case CS_NOT_FOUND:
        return 0x808080;  // neutral grey: most are programs this machine does not have
    default:
        return 0x202020;
    }
}
