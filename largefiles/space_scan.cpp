#include "largefiles/space_scan.h"

#include "largefiles/mft_reader.h"
#include "largefiles/scan_rules.h"
#include "platform/fs.h"
#include "text/text16.h"

#include <new>
#include <vector>

namespace {

bool IsMissing(uint32_t error) { return error == FS_ERROR_FILE_NOT_FOUND || error == FS_ERROR_PATH_NOT_FOUND; }

// One folder on the walk's way down: held open, with its listing.
struct Frame {
    FsDir dir;
    FsFind find;
    uint32_t folder;
};

class TreeWalk {
public:
    TreeWalk(SpaceTree* tree, uint64_t used, ScanProgressCallback progress, ScanCancelledCallback cancelled, void* context)
        : tree_(tree), used_(used), progress_(progress), cancelled_(cancelled), context_(context) {}

    void Run(const char16_t* root) {
        FsDir dir = FsOpenDir(root, false);
        if (!dir) {
            tree_->MarkFolder(0, SPACE_DENIED);
            return;
        }
        stack_.push_back(Frame{dir, nullptr, 0});
        FsEntry entry;
        while (!stack_.empty()) {
            if (cancelled_ && cancelled_()) break;
            Frame& top = stack_.back();
            bool have;
            if (!top.find) {
                top.find = FsDirFindFirst(top.dir, u"*", &entry, true);
                have = top.find != nullptr;
                if (!have && !IsMissing(FsLastError()) && FsLastError() != 18) tree_->MarkFolder(top.folder, SPACE_DENIED);
            } else {
                have = FsFindNext(top.find, &entry);
            }
            if (!have) {
                Pop();
                continue;
            }
            Take(entry);
        }
        while (!stack_.empty()) Pop();
        Report(true);
    }

private:
    void Pop() {
        Frame& top = stack_.back();
        if (top.find) FsFindClose(top.find);
        FsCloseDir(top.dir, false);
        stack_.pop_back();
    }

    void Take(const FsEntry& entry) {
        if (IsDotName(entry.name)) return;
        const uint32_t parent = stack_.back().folder;
        const size_t length = Text16Length(entry.name);
        if (entry.attributes & FS_ATTR_DIRECTORY) {
            // A reparse folder is never entered, whatever its tag.
            if (entry.attributes & FS_ATTR_REPARSE_POINT) {
                tree_->AddFolder(parent, entry.name, length, SPACE_LINK);
                return;
            }
            const uint32_t folder = tree_->AddFolder(parent, entry.name, length, 0);
            ++folders_;
            // A cloud folder's listing would be fetched onto the drive: shown
            // as it is, never entered.
            if (FsDataIsRemote(entry.attributes)) return;
            FsDir sub = FsOpenSubdir(stack_.back().dir, entry.name, false, entry.id);
            if (!sub) {
                if (!IsMissing(FsLastError())) tree_->MarkFolder(folder, SPACE_DENIED);
                return;
            }
            stack_.push_back(Frame{sub, nullptr, folder});
            if ((folders_ & 63) == 0) Report(false);
            return;
        }
        ++files_;
        if (FsIsLink(entry.attributes, entry.reparseTag)) {
            tree_->AddFile(parent, entry.name, length, 0, 0, 0, 1, SPACE_LINK);
            return;
        }
        const uint64_t size = (static_cast<uint64_t>(entry.sizeHigh) << 32) | entry.sizeLow;
        const uint64_t space = entry.space == FS_NO_SPACE ? size : entry.space;
        met_ += space;
        tree_->AddFile(parent, entry.name, length, size, space, entry.id, entry.links, 0);
        if ((files_ & 1023) == 0) Report(false);
    }

    void Report(bool done) {
        if (!progress_) return;
        int32_t percent = 100;
        if (!done) percent = used_ ? static_cast<int32_t>(met_ >= used_ ? 99 : met_ * 100 / used_) : 0;
        if (percent > 99 && !done) percent = 99;
        progress_(percent, folders_, files_, context_);
    }

    SpaceTree* tree_;
    uint64_t used_;
    ScanProgressCallback progress_;
    ScanCancelledCallback cancelled_;
    void* context_;
    std::vector<Frame> stack_;
    int32_t folders_ = 0, files_ = 0;
    uint64_t met_ = 0;
};

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

    void Record(uint64_t number, RecordFacts& facts) override {
        DropShadowedDosNames(&facts.names);
        if (facts.directory) {
            Folder(number, facts);
            return;
        }
        if (facts.names.empty()) return;
        ++files_;
        uint64_t size = facts.hasSize ? facts.size : 0;
        uint64_t space = facts.hasSize ? facts.space : 0;
        uint8_t flags = 0;
        if (facts.reparse && FsIsLink(FS_ATTR_REPARSE_POINT, facts.reparseTag)) {
            size = space = 0;
            flags = SPACE_LINK;
        }
        const uint64_t identity = (static_cast<uint64_t>(facts.sequence) << 48) | number;
        const uint32_t links = static_cast<uint32_t>(facts.names.size());
        for (const Name& name : facts.names) {
            if (!IsWin32Name(name.text)) continue;
            const uint32_t parent = FolderOf(name.parent, name.parentSequence);
            if (parent == kNoFolder) continue;
            tree_->AddFile(parent, name.text.data(), name.text.size(), size, space, identity, links, flags);
        }
    }

    void Progress(int32_t percent) override {
        if (progress_) progress_(percent, folders_, files_, context_);
    }

private:
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
        if (number < slots_.size() && slots_[number].folder != kNoFolder) {
            Slot& slot = slots_[number];
            if (number == kRootRecord && !slot.own) return slot.folder;
            if (slot.sequence == sequence) return slot.folder;
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

    void Folder(uint64_t number, const RecordFacts& facts) {
        uint32_t folder;
        if (number == kRootRecord) {
            slots_[kRootRecord].sequence = facts.sequence;
            slots_[kRootRecord].own = true;
            return;
        }
        if (number < slots_.size() && slots_[number].folder != kNoFolder && slots_[number].sequence == facts.sequence) {
            folder = slots_[number].folder;
            slots_[number].own = true;
        } else {
            folder = Replace(number, facts.sequence, true);
        }
        ++folders_;
        // A folder has one parent; its first long name is the one listed.
        const Name* chosen = nullptr;
        for (const Name& name : facts.names) {
            if (!chosen || (chosen->nameSpace == kNamespaceDos && name.nameSpace != kNamespaceDos)) chosen = &name;
        }
        if (!chosen || !IsWin32Name(chosen->text)) return;
        const uint32_t parent = FolderOf(chosen->parent, chosen->parentSequence);
        if (parent == kNoFolder || parent == folder) return;
        tree_->AttachFolder(folder, parent, chosen->text.data(), chosen->text.size(), facts.reparse ? SPACE_LINK : 0);
    }

    SpaceTree* tree_;
    ScanProgressCallback progress_;
    void* context_;
    std::vector<Slot> slots_;
    int32_t folders_ = 0, files_ = 0;
};

}  // namespace

int32_t ScanSpaceTreeWalk(const char16_t* root, uint64_t usedBytes, SpaceTree** out, ScanProgressCallback progress,
                          ScanCancelledCallback cancelled, void* context) {
    if (!root || !out) return -1;
    try {
        SpaceTree* tree = new SpaceTree();
        TreeWalk walk(tree, usedBytes, progress, cancelled, context);
        try {
            walk.Run(root);
            tree->Finish();
        } catch (const std::bad_alloc&) {
            delete tree;
            return -1;
        }
        *out = tree;
        return 0;
    } catch (const std::bad_alloc&) {
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
