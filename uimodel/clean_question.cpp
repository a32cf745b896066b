#include "uimodel/clean_question.h"

#include "engine/catalogue.h"
#include "text/format.h"
#include "text/text16.h"

namespace {

const char16_t kCautionMark[] = u"(慎用)";

bool EndsWith(const char16_t* text, const char16_t* end) {
    size_t length = Text16Length(text);
    size_t endLength = Text16Length(end);
    return length >= endLength && Text16Equal(text + length - endLength, end);
}

}  // namespace

bool AnyItemTicked() {
    for (const CleanupGroup& group : g_CleanupGroups) {
        for (int32_t i = 0; i < group.itemCount; ++i) {
            if (ItemSelected(group.items[i])) return true;
        }
    }
    return false;
}

void RowItemName(int group, int item, char16_t* out, int capacity) {
    const CleanupItem& it = g_CleanupGroups[group].items[item];
    if (!it.caution || EndsWith(it.name, kCautionMark)) {
        Text16CopyTruncated(out, static_cast<size_t>(capacity), it.name);
    } else if (FormatText(out, capacity, u"%s%s", it.name, kCautionMark) < 0) {
        Text16CopyTruncated(out, static_cast<size_t>(capacity), it.name);
    }
}

bool CleanQuestionText(uint64_t estimate, char16_t* out, int capacity) {
    char16_t size[kSizeTextUnits];
    FormatSize(estimate, size);
    int length = FormatText(out, capacity, u"确认清理约 %s 的垃圾文件？\n\n正在使用的文件将自动跳过。", size);
    if (length < 0) return false;
    bool named = false;
    for (int g = 0; g < kGroupCount; ++g) {
        const CleanupGroup& group = g_CleanupGroups[g];
        for (int32_t i = 0; i < group.itemCount; ++i) {
            const CleanupItem& item = group.items[i];
            if (!item.caution || !ItemSelected(item)) continue;
            if (!named) {
                int added = FormatText(out + length, capacity - length,
                                       u"\n\n注意：以下勾选的项目是你自己的文件，将被永久删除，不会进入回收站：");
                if (added < 0) return true;
                length += added;
                named = true;
            }
            char16_t name[128];
            RowItemName(g, i, name, 128);
            FormatSize(ItemSize(item), size);
            int added = FormatText(out + length, capacity - length, u"\n「%s」%s：%s", name, size,
                                   item.holds ? item.holds : u"");
            if (added < 0) return true;
            length += added;
        }
    }
    return named;
}
