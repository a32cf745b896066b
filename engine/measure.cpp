#include "engine/measure.h"

#include "engine/drivers.h"

#include "engine/catalogue.h"
#include "engine/guard.h"
#include "engine/overlap.h"
#include "engine/paths.h"
#include "engine/collector.h"
#include "engine/walk.h"
#include "platform/fs.h"
#include "engine/events.h"
#include "platform/post.h"
#include "text/format.h"
#include "text/text16.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

uint64_t MeasureFolder(const char16_t* dir, const char16_t* pattern, int32_t depth) {
    if (!dir || !pattern) return 0;
    HeldFolder held = {FsOpenDir(dir, false), Text16Length(dir)};
    if (!held.dir) return 0;
    Walk walk = {WALK_MEASURE, 0, nullptr, nullptr, {0}};
    if (depth < 0) {
        WalkMatching(&walk, held, pattern, false);
    } else {
        WalkFolderPattern(&walk, held, pattern, depth);
    }
    FsCloseDir(held.dir, false);
    return walk.bytes;
}

}  // namespace

uint64_t DirectorySize(const char16_t* dir) { return MeasureFolder(dir, u"*", -1); }

uint64_t SubdirPatternSize(const char16_t* dir, const char16_t* pattern, int32_t depth) {
    if (depth > 10) return 0;
    return MeasureFolder(dir, pattern, depth);
}

namespace {

// The walk over the folder of the user the program runs as in each fixed
// drive's recycle bin. Other accounts' folders are theirs: the system empties
// only the caller's, so neither a measurement nor a preview counts them (an
// elevated run could read their deleted files' names).
void WalkRecycleBins(Walk* walk) {
    char16_t sid[184];
    if (!FsCurrentUserSid(sid, 184)) return;
    char16_t drives[512];
    uint32_t length = FsLogicalDriveStrings(drives, 512);
    if (length == 0 || length >= 512) return;
    for (const char16_t* root = drives; *root; root += Text16Length(root) + 1) {
        if (FsDriveType(root) != FS_DRIVE_FIXED) continue;
        char16_t bins[kPathUnits];
        char16_t bin[kPathUnits];
        if (FormatText(bins, kPathUnits, u"%s$Recycle.Bin", root) < 0 ||
            FormatText(bin, kPathUnits, u"%s\\%s", bins, sid) < 0)
            continue;
        FsDir binsFolder = FsOpenDir(bins, false);
        if (!binsFolder) continue;
        HeldFolder held = {FsOpenSubdir(binsFolder, sid, false), Text16Length(bin)};
        FsCloseDir(binsFolder, false);
        if (!held.dir) continue;
        WalkFrom(walk, bin);
        WalkMatching(walk, held, u"*", false);
        FsCloseDir(held.dir, false);
    }
}

}  // namespace

uint64_t RecycleBinSize() {
    Walk walk = {WALK_MEASURE, 0, nullptr, nullptr, {0}};
    WalkRecycleBins(&walk);
    return walk.bytes;
}

uint64_t MeasureHeldLocation(const CleanupItem& item, HeldFolder location) {
    Walk walk = {WALK_MEASURE, 0, nullptr, nullptr, {0}};
    WalkItem(&walk, item, location, nullptr);
    return walk.bytes;
}

void WalkItemTargets(const CleanupItem& item, Walk* walk) {
    // The recycle bins are found through the drive list; the item's bare
    // name is not a location and is not looked up.
    if (item.mode == CM_RECYCLE_BIN) return WalkRecycleBins(walk);
    // The store is the system's: its packages are found through the system.
    if (item.mode == CM_DRIVER_PACKAGES) return WalkSupersededPackages(walk);
    char16_t location[kPathUnits];
    bool confined = false;
    if (PrepareLocation(item.path, location, nullptr, &confined) != LOCATION_OK) return;
    HeldFolder held;
    uint32_t error = 0;
    LocationRefusal reason = REFUSED_NONE;
    if (item.mode == CM_SINGLE_FILE) {
        FsEntry entry;
        const char16_t* name = nullptr;
        bool found = false;
        if (OpenGuardedFile(location, confined, &held, &name, &entry, &found, &error, &reason) != GUARD_OK) return;
        FsCloseDir(held.dir, false);
        if (!found || (entry.attributes & FS_ATTR_DIRECTORY) || FsIsLink(entry.attributes, entry.reparseTag)) return;
        const uint64_t bytes = (static_cast<uint64_t>(entry.sizeHigh) << 32) | entry.sizeLow;
        walk->bytes += bytes;
        if (walk->action == WALK_COLLECT && walk->collector) CollectFile(walk->collector, location, bytes);
        return;
    }
    if (OpenGuardedLocation(location, false, confined, &held, &error, &reason) != GUARD_OK) return;
    WalkFrom(walk, location);
    WalkItem(walk, item, held, nullptr);
    FsCloseDir(held.dir, false);
}

uint64_t MeasureItem(const CleanupItem* item) {
    if (!item) return 0;
    Walk walk = {WALK_MEASURE, 0, nullptr, nullptr, {0}};
    WalkItemTargets(*item, &walk);
    return walk.bytes;
}

uint32_t MeasureCatalogue(void* window, int32_t threads) {
    std::vector<CleanupItem*> items;
    for (CleanupGroup& group : g_CleanupGroups)
        for (int32_t i = 0; i < group.itemCount; ++i) items.push_back(&group.items[i]);
    const int32_t total = static_cast<int32_t>(items.size());
    PostWindowMessage(window, MSG_MEASURE_BEGIN, static_cast<uintptr_t>(total), 0);
    if (threads <= 0) {
        const unsigned processors = std::thread::hardware_concurrency();
        threads = static_cast<int32_t>(std::min(processors ? 2 * processors : 2u, 16u));
    }
    // Items are measured side by side, taken in catalogue order; this thread
    // stores each size and posts its progress in catalogue order, measuring
    // too while the item it waits for is still being measured.
    std::vector<uint64_t> sizes(items.size(), 0);
    std::vector<char> done(items.size(), 0);
    std::atomic<int32_t> next{0};
    std::mutex lock;
    std::condition_variable measured;
    auto measureOne = [&]() {
        const int32_t index = next.fetch_add(1);
        if (index >= total) return false;
        const uint64_t size = MeasureItem(items[static_cast<size_t>(index)]);
        {
            std::lock_guard<std::mutex> guard(lock);
            sizes[static_cast<size_t>(index)] = size;
            done[static_cast<size_t>(index)] = 1;
        }
        measured.notify_all();
        return true;
    };
    std::vector<std::thread> workers;
    try {
        for (int32_t i = 1; i < threads && i < total; ++i)
            workers.emplace_back([&measureOne] {
                while (measureOne()) {
                }
            });
    } catch (...) {
        // Fewer threads measure; the sizes and messages are the same.
    }
    for (int32_t i = 0; i < total; ++i) {
        for (;;) {
            {
                std::unique_lock<std::mutex> guard(lock);
                if (done[static_cast<size_t>(i)]) break;
                if (next.load() >= total) {
                    measured.wait(guard, [&] { return done[static_cast<size_t>(i)] != 0; });
                    break;
                }
            }
            measureOne();
        }
        SetItemSize(*items[static_cast<size_t>(i)], sizes[static_cast<size_t>(i)]);
        PostWindowMessage(window, MSG_MEASURE_PROGRESS, static_cast<uintptr_t>(i + 1), 0);
    }
    for (std::thread& worker : workers) worker.join();
    NoteSharedFolders();
    PostWindowMessage(window, MSG_MEASURE_FINISHED, 0, 0);
    return 0;
}

uint32_t SizeScanWorker(void* window) { return MeasureCatalogue(window, 0); }

uint32_t MeasureSelectedWorker(void* window) {
    static_assert(sizeof(uintptr_t) >= sizeof(uint64_t), "the estimate travels in wParam");
    PostWindowMessage(window, MSG_SELECTION_MEASURED, static_cast<uintptr_t>(MeasureSelectedItems()), 0);
    return 0;
}

uint64_t MeasureSelectedItems() {
    NoteSharedFolders();
    uint64_t total = 0;
    for (int g = 0; g < kGroupCount; ++g) {
        CleanupGroup& group = g_CleanupGroups[g];
        for (int32_t i = 0; i < group.itemCount; ++i) {
            CleanupItem& item = group.items[i];
            // Nothing changed on disk for the others: they keep their sizes.
            if (!ItemSelected(item)) continue;
            uint64_t size = MeasureItem(&item);
            SetItemSize(item, size);
            if (!CoveredByAnother(g, i, TickedNow)) total += size;
        }
    }
    return total;
}
