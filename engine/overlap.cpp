#include "engine/overlap.h"

#include "engine/catalogue.h"
#include "engine/paths.h"
#include "platform/fs.h"

namespace {

bool TakesWholeFolder(const CleanupItem& item) { return item.mode == CM_CONTENTS || item.mode == CM_WHOLE_DIR; }

bool FolderIdentity(const CleanupItem& item, FsIdentity* identity) {
    if (item.mode == CM_SINGLE_FILE || item.mode == CM_RECYCLE_BIN || item.mode == CM_DRIVER_PACKAGES) return false;
    char16_t location[kPathUnits];
    if (PrepareLocation(item.path, location, nullptr) != LOCATION_OK) return false;
    FsDir dir = FsOpenDir(location, false);
    if (!dir) return false;
    bool known = FsDirIdentity(dir, identity);
    FsCloseDir(dir, false);
    return known;
}

int32_t KeyOf(int group, int item) {
    return g_CleanupGroups[group].items[item].folderKey.load(std::memory_order_relaxed);
}

}  // namespace

void NoteSharedFolders() {
    constexpr int kMaxItems = 64;
    FsIdentity seen[kMaxItems];
    int32_t keys[kMaxItems];
    int count = 0;
    int32_t flat = 0;
    for (CleanupGroup& group : g_CleanupGroups) {
        for (int32_t i = 0; i < group.itemCount; ++i, ++flat) {
            FsIdentity identity;
            int32_t key = -1;
            if (FolderIdentity(group.items[i], &identity)) {
                for (int k = 0; k < count && key < 0; ++k) {
                    if (FsSameIdentity(seen[k], identity)) key = keys[k];
                }
                if (key < 0) {
                    key = flat;
                    if (count < kMaxItems) {
                        seen[count] = identity;
                        keys[count++] = flat;
                    }
                }
            }
            group.items[i].folderKey.store(key, std::memory_order_relaxed);
        }
    }
}

namespace {

// Whether an item that `counts` is covering this one: it reaches the same
// folder and takes all of it (when both do, the first in catalogue order
// covers the later one).
template <typename Counts, typename Key>
bool Covered(int group, int item, Counts counts, Key keyOf) {
    const int32_t key = keyOf(group, item);
    if (key < 0) return false;
    const bool whole = TakesWholeFolder(g_CleanupGroups[group].items[item]);
    bool before = true;  // whether (g, i) comes before this item in catalogue order
    for (int g = 0; g < kGroupCount; ++g) {
        for (int32_t i = 0; i < g_CleanupGroups[g].itemCount; ++i) {
            if (g == group && i == item) {
                before = false;
                continue;
            }
            if (keyOf(g, i) != key || !counts(g, i) || !TakesWholeFolder(g_CleanupGroups[g].items[i])) continue;
            if (!whole || before) return true;
        }
    }
    return false;
}

}  // namespace

int32_t LiveFolderKey(int group, int item) { return KeyOf(group, item); }

bool CoveredByAnother(int group, int item, ItemTicked ticked, ItemFolderKey key) {
    return Covered(group, item, ticked, key);
}

bool CoveredWithinGroup(int group, int item) {
    return Covered(group, item, [group](int g, int) { return g == group; }, KeyOf);
}

bool TickedNow(int group, int item) { return ItemSelected(g_CleanupGroups[group].items[item]); }
