#include "engine/clean.h"

#include "engine/catalogue.h"
#include "engine/drivers.h"
#include "engine/measure.h"
#include "engine/guard.h"
#include "engine/paths.h"
#include "platform/fs.h"
#include "text/format.h"

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

// The emptying reports nothing: its outcome is judged by the sizes. Bins
// that held something and gave nothing back failed.
CleanStatus CleanRecycleBins(uint64_t* freed, uint64_t* remaining) {
    uint64_t before = RecycleBinSize();
    FsEmptyRecycleBins();
    uint64_t after = RecycleBinSize();
    if (freed) *freed = before > after ? before - after : 0;
    if (remaining) *remaining = after;
    if (before == 0) return CS_NOTHING;
    return after < before ? CS_DONE : CS_FAILED;
}

}  // namespace

namespace {

CleanStatus Clean(const CleanupItem* item, uint64_t* freed, uint64_t* remaining, CleanTally* counts);

// The one file a location names, through its folder held by the guard.
CleanStatus CleanSingleFile(const CleanupItem& item, const char16_t* location, bool confined, uint64_t* freed,
                            uint64_t* remaining, CleanTally* tally) {
    HeldFolder held;
    const char16_t* name = nullptr;
    LocationRefusal reason = REFUSED_NONE;
    FsEntry entry;
    bool found = false;
    uint32_t error = 0;
    switch (OpenGuardedFile(location, confined, &held, &name, &entry, &found, &error, &reason)) {
    case GUARD_OK:
        break;
    case GUARD_MISSING:
        Trace(u"[清理] 跳过（路径不存在）: %s", item.name);
        return CS_NOT_FOUND;
    case GUARD_LINK:
        Trace(u"[清理] 跳过（位置是链接或经过链接）: %s -> %s", item.name, location);
        return CS_NOTHING;
    case GUARD_UNSAFE:
        Trace(u"[清理] 拒绝（位置不安全，%s）: %s -> %s", LocationRefusalKey(reason), item.name, location);
        return CS_FAILED;
    default:
        TallyResult(tally, 0, error);
        return StatusFromTally(*tally);
    }
    const uint64_t size = (static_cast<uint64_t>(entry.sizeHigh) << 32) | entry.sizeLow;
    if (!found) {
        TallyResult(tally, 0, FS_ERROR_FILE_NOT_FOUND);
    } else if (FsIsLink(entry.attributes, entry.reparseTag)) {
        Trace(u"[清理] 跳过（位置是链接或经过链接）: %s -> %s", item.name, location);
        FsCloseDir(held.dir, false);
        return CS_NOTHING;
    } else if (entry.attributes & FS_ATTR_DIRECTORY) {
        TallyResult(tally, 0, FS_ERROR_ACCESS_DENIED);  // as DeleteFileW on a folder
    } else {
        const bool deleted = FsDeleteFileAt(held.dir, name, (entry.attributes & FS_ATTR_READONLY) != 0);
        TallyResult(tally, deleted ? 1 : 0, deleted ? 0 : FsLastError());
        if (freed && deleted) *freed = size;
        if (remaining && !deleted) *remaining = size;
    }
    FsCloseDir(held.dir, false);
    return StatusFromTally(*tally);
}

}  // namespace

CleanStatus CleanItem(const CleanupItem* item, uint64_t* freed, uint64_t* remaining, CleanTally* counts) {
    CleanTally own = {0, 0, 0, 0, 0};
    CleanStatus status = Clean(item, freed, remaining, &own);
    if (counts) {
        counts->deleted += own.deleted;
        counts->accessDenied += own.accessDenied;
        counts->inUse += own.inUse;
        counts->notFound += own.notFound;
        counts->otherError += own.otherError;
    }
    return status;
}

namespace {

CleanStatus Clean(const CleanupItem* item, uint64_t* freed, uint64_t* remaining, CleanTally* counts) {
    if (freed) *freed = 0;
    if (remaining) *remaining = 0;
    if (!item) return CS_FAILED;
    if (item->mode == CM_RECYCLE_BIN) {
        Trace(u"[清理] 开始: %s", item->name);
        return CleanRecycleBins(freed, remaining);
    }
    CleanTally& tally = *counts;
    if (item->mode == CM_DRIVER_PACKAGES) {
        Trace(u"[清理] 开始: %s", item->name);
        uint64_t before = SupersededPackagesSize();
        RemoveSupersededPackages(&tally);
        uint64_t after = SupersededPackagesSize();
        if (freed) *freed = before > after ? before - after : 0;
        if (remaining) *remaining = after;
        return StatusFromTally(tally);
    }
    char16_t location[kPathUnits];
    LocationRefusal reason = REFUSED_NONE;
    bool confined = false;
    LocationState state = PrepareLocation(item->path, location, &reason, &confined);
    Trace(u"[清理] 开始: %s -> %s", item->name, location);
    if (state == LOCATION_UNSAFE) {
        Trace(u"[清理] 拒绝（位置不安全，%s）: %s -> %s", LocationRefusalKey(reason), item->name, location);
        return CS_FAILED;
    }
    // A location that cannot be expanded is treated as one that is missing.
    if (state != LOCATION_OK) {
        Trace(u"[清理] 跳过（路径不存在）: %s", item->name);
        return CS_NOT_FOUND;
    }
    if (item->mode == CM_SINGLE_FILE) return CleanSingleFile(*item, location, confined, freed, remaining, &tally);

    // The decision and the whole run are made on one held folder: nothing is
    // opened again by its path.
    HeldFolder held;
    uint32_t error = 0;
    const bool whole = item->mode == CM_WHOLE_DIR;
    switch (OpenGuardedLocation(location, whole, confined, &held, &error, &reason)) {
    case GUARD_OK:
        break;
    case GUARD_MISSING:
        Trace(u"[清理] 跳过（路径不存在）: %s", item->name);
        return CS_NOT_FOUND;
    case GUARD_LINK:
        // Redirected elsewhere: nothing of it lies in the location.
        Trace(u"[清理] 跳过（位置是链接或经过链接）: %s -> %s", item->name, location);
        return CS_NOTHING;
    case GUARD_UNSAFE:
        Trace(u"[清理] 拒绝（位置不安全，%s）: %s -> %s", LocationRefusalKey(reason), item->name, location);
        return CS_FAILED;
    default:
        TallyResult(&tally, 0, error);
        return StatusFromTally(tally);
    }

    uint64_t before = MeasureHeldLocation(*item, held);
    Walk walk = {WALK_REMOVE, 0, &tally, nullptr, {0}};
    WalkItem(&walk, *item, held, location);
    uint64_t after = MeasureHeldLocation(*item, held);
    if (whole) {
        TallyResult(&tally, FsCloseDir(held.dir, true) ? 1 : 0, FsLastError());
        Trace(u"[清理] 删除整个目录完成: %s", location);
    } else {
        FsCloseDir(held.dir, false);
        if (item->mode == CM_CONTENTS) Trace(u"[清理] 清空目录内容完成: %s", location);
    }
    if (freed) *freed = before > after ? before - after : 0;
    if (remaining) *remaining = after;
    return StatusFromTally(tally);
}

}  // namespace
