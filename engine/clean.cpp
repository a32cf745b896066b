#include "engine/clean.h"

#include "engine/catalogue.h"
#include "engine/measure.h"
#include "engine/paths.h"
#include "engine/remove.h"
#include "platform/fs.h"
#include "text/format.h"

const char16_t* CleanStatusTag(int32_t status) {
    static const char16_t* const kTags[] = {
        u"【已处理】", u"【部分成功】", u"【需管理员权限】", u"【文件被占用】",
        u"【路径不存在】", u"【无内容可清理】", u"【清理失败】",
    };
    return (status >= 1 && status <= 6) ? kTags[status] : kTags[0];
}

CleanStatus StatusFromTally(const CleanTally& tally) {
    int64_t failures = static_cast<int64_t>(tally.accessDenied) + tally.inUse + tally.notFound + tally.otherError;
    if (tally.deleted != 0) return failures == 0 ? CS_DONE : CS_PARTIAL;
    if (failures == 0) return CS_NOTHING;
    if (tally.accessDenied > 0) return CS_NEED_ADMIN;
    if (tally.inUse > 0) return CS_IN_USE;
    if (tally.notFound > 0) return CS_NOT_FOUND;
    return CS_FAILED;
}

namespace {

CleanStatus CleanRecycleBins(uint64_t* freed) {
    uint64_t before = RecycleBinSize();
    FsEmptyRecycleBins();
    uint64_t after = RecycleBinSize();
    if (freed) *freed = before > after ? before - after : 0;
    return before == 0 ? CS_NOTHING : CS_DONE;
}

}  // namespace

CleanStatus CleanItem(const CleanupItem* item, uint64_t* freed) {
    if (freed) *freed = 0;
    if (!item) return CS_FAILED;
    if (item->mode == CM_RECYCLE_BIN) {
        Trace(u"[清理] 开始: %s", item->name);
        return CleanRecycleBins(freed);
    }
    char16_t location[kPathUnits];
    const char16_t* reason = nullptr;
    LocationState state = PrepareLocation(item->path, location, &reason);
    Trace(u"[清理] 开始: %s -> %s", item->name, location);
    if (state == LOCATION_UNSAFE) {
        Trace(u"[清理] 拒绝（位置不安全，%s）: %s -> %s", reason, item->name, location);
        return CS_FAILED;
    }
    // A location that cannot be expanded is treated as one that is missing.
    uint32_t attributes = state == LOCATION_OK ? FsGetAttributes(location) : FS_INVALID_ATTRIBUTES;
    if (attributes == FS_INVALID_ATTRIBUTES) {
        Trace(u"[清理] 跳过（路径不存在）: %s", item->name);
        return CS_NOT_FOUND;
    }
    // Redirected elsewhere: nothing of it lies in the location.
    if (attributes & FS_ATTR_REPARSE_POINT) return CS_NOTHING;

    uint64_t before = MeasureItem(item);
    CleanTally tally = {0, 0, 0, 0, 0};
    switch (item->mode) {
    case CM_CONTENTS:
        DeleteContents(location, &tally);
        Trace(u"[清理] 清空目录内容完成: %s", location);
        break;
    case CM_WHOLE_DIR:
        DeleteTree(location, &tally);
        Trace(u"[清理] 删除整个目录完成: %s", location);
        break;
    case CM_MATCH_FILES:
        if (!item->patterns[0]) {
            DeleteContents(location, &tally);
            break;
        }
        for (int i = 0; i < kMaxPatterns && item->patterns[i]; ++i) {
            DeleteMatching(location, item->patterns[i], &tally);
            Trace(u"[清理] 删除匹配文件完成: %s\\%s", location, item->patterns[i]);
        }
        break;
    case CM_MATCH_SUBDIRS:
        if (!item->patterns[0]) {
            DeleteContents(location, &tally);
            break;
        }
        for (int i = 0; i < kMaxPatterns && item->patterns[i]; ++i) {
            DeleteSubdirPattern(location, item->patterns[i], 0, &tally);
            Trace(u"[清理] 删除子目录完成: %s\\%s", location, item->patterns[i]);
        }
        break;
    case CM_SINGLE_FILE:
        DeleteFileCounted(location, &tally);
        break;
    default:
        break;
    }
    uint64_t after = MeasureItem(item);
    if (freed) *freed = before > after ? before - after : 0;
    return StatusFromTally(tally);
}
