#include "largefiles/space_scan.h"

#include "largefiles/finder.h"
#include "largefiles/mft_reader.h"
#include "largefiles/scan_rules.h"
#include "platform/fs.h"
#include "text/text16.h"

#include <chrono>
#include <new>
#include <vector>

namespace {

// What the live fill counts: per folder of the root, the running sums of
// everything met below it (the root's own files in `own`), and for every
// folder of the tree the root's folder it lies in. 4 bytes a folder, kept
// only while the walk runs with a live callback.
struct LiveSums {
    uint32_t folder;  // in the tree being built
    uint64_t size, space;
    uint32_t files, folders;
};
struct Live {
    SpaceLiveCallback callback = nullptr;
    std::vector<uint32_t> top;  // tree folder -> index into sums
    std::vector<LiveSums> sums;
    LiveSums own{0, 0, 0, 0, 0};
    std::chrono::steady_clock::time_point last;
    uint32_t entries = 0;
};

// The tree as a sink of the walk.
struct TreeSink {
    SpaceTree* tree;
    uint64_t used;
    ScanProgressCallback progress;
    void* context;
    int32_t folders, files;
    FinderTotals* totals;
    Live* live;
};

// The sums a new entry of `parent` adds to; a folder of the root starts its own.
LiveSums* LiveSlot(Live* live, uint32_t parent) {
    if (parent == 0) return &live->own;
    return parent < live->top.size() ? &live->sums[live->top[parent]] : nullptr;
}

void LiveFolder(Live* live, uint32_t parent, uint32_t folder) {
    if (live->top.size() <= folder) live->top.resize(folder + 1, 0);
    if (parent == 0) {
        live->top[folder] = static_cast<uint32_t>(live->sums.size());
        live->sums.push_back(LiveSums{folder, 0, 0, 0, 0});
        return;
    }
    if (parent >= live->top.size()) return;
    live->top[folder] = live->top[parent];
    live->sums[live->top[parent]].folders++;
}

void LiveFile(Live* live, uint32_t parent, uint64_t size, uint64_t space) {
    if (LiveSums* sums = LiveSlot(live, parent)) {
        sums->size += size;
        sums->space += space;
        sums->files++;
    }
}

// A snapshot when kSpaceLiveMs have passed since the last; the clock is
// read once per 256 entries.
void LiveTick(TreeSink* sink) {
    Live* live = sink->live;
    if ((++live->entries & 255) != 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - live->last < std::chrono::milliseconds(kSpaceLiveMs)) return;
    live->last = now;
    SpaceTree* snapshot = nullptr;
    try {
        snapshot = new SpaceTree();
        const SpaceTree& tree = *sink->tree;
        for (const LiveSums& sums : live->sums) {
            const SpaceFolder& folder = tree.Folder(sums.folder);
            const char16_t* name = tree.Name(folder.name);
            const uint32_t at = snapshot->AddFolder(0, name, folder.nameLength, folder.flags);
            snapshot->AddSummary(at, sums.size, sums.space, sums.files, sums.folders);
        }
        snapshot->AddSummary(0, live->own.size, live->own.space, live->own.files, 0);
        snapshot->Finish();
    } catch (const std::bad_alloc&) {
        delete snapshot;
        return;  // the walk itself goes on; the next tick tries again
    }
    live->callback(snapshot, sink->context);
}

void TreeReport(TreeSink* sink, bool done) {
    if (!sink->progress) return;
    int32_t percent = 100;
    if (!done) {
        const uint64_t met = sink->totals->bytes.load(std::memory_order_relaxed);
        percent = sink->used ? static_cast<int32_t>(met >= sink->used ? 99 : met * 100 / sink->used) : 0;
    }
    sink->progress(percent, sink->folders, sink->files, sink->context);
}

// A reparse folder is never entered, whatever its tag.
bool TreeEnters(const FinderRecord& record, int32_t, size_t) { return !(record.attributes & FS_ATTR_REPARSE_POINT); }

uint32_t TreeEntry(void* self, uint32_t parent, const char16_t*, size_t, int32_t, const FinderRecord& record) {
    TreeSink* sink = static_cast<TreeSink*>(self);
    SpaceTree* tree = sink->tree;
    if (record.attributes & FS_ATTR_DIRECTORY) {
        if (record.attributes & FS_ATTR_REPARSE_POINT) {
            const uint32_t link = tree->AddFolder(parent, record.name, record.nameLength, SPACE_LINK, record.id);
            if (sink->live) LiveFolder(sink->live, parent, link);
            return kNoFolder;
        }
        const uint32_t folder = tree->AddFolder(parent, record.name, record.nameLength, 0, record.id);
        if (sink->live) {
            LiveFolder(sink->live, parent, folder);
            LiveTick(sink);
        }
        ++sink->folders;
        sink->totals->Add(sink->totals->folders, 1);
        if ((sink->folders & 63) == 0) TreeReport(sink, false);
        return folder;
    }
    ++sink->files;
    sink->totals->Add(sink->totals->files, 1);
    if (FsIsLink(record.attributes, record.reparseTag)) {
        tree->AddFile(parent, record.name, record.nameLength, 0, 0, 0, 1, SPACE_LINK);
        return kNoFolder;
    }
    const uint64_t space = record.space == FS_NO_SPACE ? record.size : record.space;
    sink->totals->Add(sink->totals->bytes, space);
    tree->AddFile(parent, record.name, record.nameLength, record.size, space, record.id, record.links, 0,
                  record.modified);
    if (sink->live) {
        // A file with several names counts at each here; the finished tree
        // counts it once.
        LiveFile(sink->live, parent, record.size, space);
        LiveTick(sink);
    }
    if ((sink->files & 1023) == 0) TreeReport(sink, false);
    return kNoFolder;
}

void TreeFolder(void*, uint32_t, int32_t) {}

void TreeFailed(void* self, uint32_t folder, uint32_t) {
    static_cast<TreeSink*>(self)->tree->MarkFolder(folder, SPACE_DENIED);
}

using namespace ntfs;

// The tree as a sink of the MFT's records. Records come in MFT order, so a
// file can name a folder not seen yet: the folder is made then and placed
// when its own record comes.
class TreeRecords : public RecordSink {
public:
    TreeRecords(SpaceTree* tree, ScanProgressCallback progress, void* context)
        : tree_(tree), progress_(progress), context_(context) {
        Remember(kRootRecord, 0, 0, false);
    }

    // Files come in MFT order, each into a folder met anywhere before: the
    // folders' slots and places in the tree are fetched a few names ahead.
    void Records(const MftName* names, size_t count) override {
        constexpr size_t kAhead = 8;
        for (size_t i = 0; i < count && i < kAhead; ++i) PrefetchSlot(names[i].parent);
        for (size_t i = 0; i < count; ++i) {
            if (i + kAhead < count) PrefetchSlot(names[i + kAhead].parent);
            if (i + kAhead / 2 < count) PrefetchFolder(names[i + kAhead / 2].parent);
            Record(names[i].parent, names[i].record);
        }
    }

    void Progress(int32_t percent) override {
        if (progress_) progress_(percent, folders_, files_, context_);
    }

    // A slot per record (8 bytes each), at once rather than grown.
    void Expect(uint64_t records) override {
        records_ = records;
        if (records > slots_.size()) slots_.resize(static_cast<size_t>(records));
    }

private:
    void PrefetchSlot(uint64_t parent) const {
        const uint64_t number = RecordOf(parent);
        if (number < slots_.size()) __builtin_prefetch(&slots_[number]);
    }
    void PrefetchFolder(uint64_t parent) const {
        const uint64_t number = RecordOf(parent);
        if (number < slots_.size()) tree_->Prefetch(slots_[number].folder);
    }

    void Record(uint64_t parent, const FinderRecord& record) {
        const uint64_t number = RecordOf(record.id);
        if (record.attributes & FS_ATTR_DIRECTORY) {
            Folder(number, parent, record);
            return;
        }
        // A file's names come one after another.
        if (record.id != lastFile_) {
            lastFile_ = record.id;
            ++files_;
        }
        if (!record.nameLength) return;
        uint64_t size = record.size;
        uint64_t space = record.space;
        uint8_t flags = 0;
        if (FsIsLink(record.attributes, record.reparseTag)) {
            size = space = 0;
            flags = SPACE_LINK;
        }
        const uint32_t folder = FolderOf(RecordOf(parent), SequenceOf(parent));
        if (folder == kNoFolder) return;
        // A link's own time is not its target's: counted as nothing, as its bytes.
        tree_->AddFile(folder, record.name, record.nameLength, size, space, record.id, record.links, flags,
                       flags == SPACE_LINK ? 0 : record.modified);
    }

    struct Slot {
        uint32_t folder = kNoFolder;
        uint16_t sequence = 0;
        bool own = false;  // the sequence is the folder's own record's, not a reference's
    };

    void Remember(uint64_t number, uint32_t folder, uint16_t sequence, bool own) {
        if (number >= slots_.size()) slots_.resize(number + 1 + number / 2);
        slots_[number] = Slot{folder, sequence, own};
    }

    // The folder a reference names, made when first named; kNoFolder when
    // the record now holds another file than the one the name was written for.
    uint32_t FolderOf(uint64_t number, uint16_t sequence) {
        // A reference is 48 bits off the disk: one past the MFT's records is
        // damage, and a slot for it would take memory up to its number.
        if (number >= records_) return kNoFolder;
        if (number < slots_.size() && slots_[number].folder != kNoFolder) {
            Slot& slot = slots_[number];
            if (number == kRootRecord && !slot.own) return slot.folder;
            if (FinderParentIsCurrent(sequence, slot.sequence)) return slot.folder;
            return slot.own ? kNoFolder : Replace(number, sequence, false);
        }
        const uint32_t folder = tree_->NewFolder();
        Remember(number, folder, sequence, false);
        return folder;
    }

    // Earlier references were to another file in this record: they keep a
    // folder that never reaches the root.
    uint32_t Replace(uint64_t number, uint16_t sequence, bool own) {
        const uint32_t folder = tree_->NewFolder();
        Remember(number, folder, sequence, own);
        return folder;
    }

    void Folder(uint64_t number, uint64_t parent, const FinderRecord& record) {
        const uint16_t sequence = SequenceOf(record.id);
        uint32_t folder;
        if (number == kRootRecord) {
            slots_[kRootRecord].sequence = sequence;
            slots_[kRootRecord].own = true;
            return;
        }
        if (number < slots_.size() && slots_[number].folder != kNoFolder &&
            FinderParentIsCurrent(slots_[number].sequence, sequence)) {
            folder = slots_[number].folder;
            slots_[number].own = true;
        } else {
            folder = Replace(number, sequence, true);
        }
        ++folders_;
        if (!record.nameLength) return;
        const uint32_t above = FolderOf(RecordOf(parent), SequenceOf(parent));
        if (above == kNoFolder || above == folder) return;
        tree_->AttachFolder(folder, above, record.name, record.nameLength,
                            (record.attributes & FS_ATTR_REPARSE_POINT) ? SPACE_LINK : 0, record.id);
    }

    SpaceTree* tree_;
    ScanProgressCallback progress_;
    void* context_;
    std::vector<Slot> slots_;
    int32_t folders_ = 0, files_ = 0;
    uint64_t lastFile_ = FS_NO_ID;
    uint64_t records_ = 0;  // in the MFT, as Expect says
};

}  // namespace

int32_t ScanSpaceTreeWalk(const char16_t* root, uint64_t usedBytes, SpaceTree** out, ScanProgressCallback progress,
                          ScanCancelledCallback cancelled, void* context, int32_t threads, FinderTotals* totals,
                          SpaceLiveCallback live, uint64_t rootId) {
    if (!root || !out) return -1;
    SpaceTree* tree = nullptr;
    try {
        tree = new SpaceTree();
        FinderTotals own;
        Live fill;
        fill.callback = live;
        fill.last = std::chrono::steady_clock::now();
        TreeSink state{tree, usedBytes, progress, context, 0, 0, totals ? totals : &own, live ? &fill : nullptr};
        const FinderSink sink{&state, FINDER_SUBFOLDER_AT_ONCE, TreeEnters, TreeEntry, TreeFolder, TreeFailed};
        FinderWalk(root, threads, sink, cancelled, rootId);
        tree->Finish();
        TreeReport(&state, true);
        *out = tree;
        return 0;
    } catch (const std::bad_alloc&) {
        delete tree;
        return -1;
    }
}

int32_t ScanSpaceTreeMft(VolumeReader read, void* volume, SpaceTree** out, ScanProgressCallback progress,
                         ScanCancelledCallback cancelled, void* context) {
    if (!read || !out) return kScanNotNtfs;
    SpaceTree* tree = nullptr;
    try {
        tree = new SpaceTree();
        TreeRecords records(tree, progress, context);
        std::vector<uint16_t> upcase;
        const int32_t outcome = ReadMftRecords(read, volume, &records, &upcase, cancelled);
        if (outcome != 0 && outcome != kMftCancelled) {
            delete tree;
            return outcome;
        }
        tree->Finish();
        records.Progress(100);
        *out = tree;
        return 0;
    } catch (const std::bad_alloc&) {
        delete tree;
        return -1;
    }
}

int32_t ScanSpaceTreeRecords(std::vector<std::pair<uint64_t, RecordFacts>>& records, SpaceTree** out) {
    if (!out) return -1;
    SpaceTree* tree = nullptr;
    try {
        tree = new SpaceTree();
        TreeRecords sink(tree, nullptr, nullptr);
        DeliverRecords(records, &sink);
        tree->Finish();
        *out = tree;
        return 0;
    } catch (const std::bad_alloc&) {
        delete tree;
        return -1;
    }
}
