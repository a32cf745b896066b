#include "engine/catalogue.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Catalogue : public ::testing::Test {
protected:
    void SetUp() override { DeselectAllItems(); }
    void TearDown() override { DeselectAllItems(); }
};

TEST_F(Catalogue, GroupsItemsAndTheirOrder) {
    const char16_t* names[] = {u"浏览器缓存", u"常用软件缓存", u"系统临时文件", u"用户临时文件", u"系统深度清理"};
    const int counts[] = {8, 9, 4, 2, 21};
    int total = 0;
    for (int g = 0; g < kGroupCount; ++g) {
        EXPECT_EQ(std::u16string(g_CleanupGroups[g].name), names[g]);
        EXPECT_EQ(g_CleanupGroups[g].itemCount, counts[g]);
        total += g_CleanupGroups[g].itemCount;
        for (int i = 0; i < g_CleanupGroups[g].itemCount; ++i) {
            const CleanupItem& item = g_CleanupGroups[g].items[i];
            int patterns = 0;
            while (patterns < kMaxPatterns && item.patterns[patterns]) ++patterns;
            EXPECT_LT(patterns, kMaxPatterns) << "a null must end every pattern list";
            EXPECT_EQ(ItemSize(item), 0u);
        }
    }
    EXPECT_EQ(total, 44);
    const CleanupItem& recycle = g_CleanupGroups[4].items[0];
    EXPECT_EQ(recycle.mode, CM_RECYCLE_BIN);
    EXPECT_EQ(std::u16string(recycle.path), u"$RECYCLE.BIN");
    const CleanupItem& old = g_CleanupGroups[4].items[19];
    EXPECT_EQ(std::u16string(old.name), u"以前的 Windows 安装 (Windows.old)");
    EXPECT_EQ(old.mode, CM_WHOLE_DIR);
    EXPECT_EQ(old.needsAdmin, 1);
    const CleanupItem& qq = g_CleanupGroups[1].items[1];
    EXPECT_EQ(std::u16string(qq.patterns[1]), u"*\\Image");
    EXPECT_EQ(qq.patterns[3], nullptr);
    EXPECT_EQ(std::u16string(g_CleanupGroups[2].items[0].name), std::u16string(g_CleanupGroups[2].items[1].name));
    EXPECT_EQ(g_CleanupGroups[2].items[0].mode, CM_MATCH_FILES);
    EXPECT_EQ(g_CleanupGroups[2].items[1].mode, CM_CONTENTS);
}

// A tick that covers many items never reaches the user's own files (chat
// media, received files, download lists, Downloads, the previous
// installation); those are ticked one by one, and then clearing all clears
// them too.
TEST_F(Catalogue, SelectAllReachesHiddenItemsButNotTheCautionItems) {
    SelectAllItems();
    int caution = 0;
    for (const CleanupGroup& group : g_CleanupGroups) {
        EXPECT_EQ(group.selected.load(), 1);
        for (int i = 0; i < group.itemCount; ++i) {
            caution += group.items[i].caution;
            EXPECT_NE(ItemSelected(group.items[i]), group.items[i].caution != 0) << i;
        }
    }
    EXPECT_EQ(caution, 6);
    for (int item : {0, 1, 4, 5}) EXPECT_TRUE(g_CleanupGroups[1].items[item].caution) << item;
    EXPECT_TRUE(g_CleanupGroups[4].items[19].caution && g_CleanupGroups[4].items[20].caution);
    DeselectAllItems();
    ToggleGroupSelection(4);
    EXPECT_FALSE(ItemSelected(g_CleanupGroups[4].items[19])) << "a group tick";
    ToggleItemSelection(4, 20);
    ToggleItemSelection(4, 19);
    EXPECT_TRUE(ItemSelected(g_CleanupGroups[4].items[19]));
    EXPECT_EQ(g_CleanupGroups[4].selected.load(), 1);
    DeselectAllItems();
    for (const CleanupGroup& group : g_CleanupGroups) {
        EXPECT_EQ(group.selected.load(), 0);
        for (int i = 0; i < group.itemCount; ++i) EXPECT_FALSE(ItemSelected(group.items[i]));
    }
}

TEST_F(Catalogue, GroupTicksOnlyWhenEveryItemIsTicked) {
    CleanupGroup& group = g_CleanupGroups[3];  // two items
    ToggleItemSelection(3, 0);
    EXPECT_EQ(group.selected.load(), 0) << "one of two items ticked";
    ToggleItemSelection(3, 1);
    EXPECT_EQ(group.selected.load(), 1);
    ToggleItemSelection(3, 0);
    EXPECT_EQ(group.selected.load(), 0);
    EXPECT_FALSE(ItemSelected(group.items[0]));
    EXPECT_TRUE(ItemSelected(group.items[1]));
}

TEST_F(Catalogue, ToggleGroupSetsEveryItemToTheGroupsNewValue) {
    ToggleItemSelection(2, 1);  // one item already ticked
    ToggleGroupSelection(2);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(ItemSelected(g_CleanupGroups[2].items[i]));
    ToggleGroupSelection(2);
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(ItemSelected(g_CleanupGroups[2].items[i]));
    EXPECT_FALSE(ItemSelected(g_CleanupGroups[1].items[0])) << "another group changed";
}

TEST_F(Catalogue, TheTwoTempItemsAreIndependentAndBadIndicesAreIgnored) {
    ToggleItemSelection(2, 0);
    EXPECT_TRUE(ItemSelected(g_CleanupGroups[2].items[0]));
    EXPECT_FALSE(ItemSelected(g_CleanupGroups[2].items[1]));
    ToggleItemSelection(2, 4);
    ToggleItemSelection(5, 0);
    ToggleItemSelection(-1, 0);
    ToggleGroupSelection(5);
    int ticked = 0;
    for (const CleanupGroup& group : g_CleanupGroups)
        for (int i = 0; i < group.itemCount; ++i) ticked += ItemSelected(group.items[i]);
    EXPECT_EQ(ticked, 1);
}

}  // namespace
