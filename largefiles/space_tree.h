// The drive as a tree of folders with the bytes under each: what the space
// view shows. Every folder is kept; of the files, each folder keeps only its
// largest few by name and sums the rest, so memory follows the folders, not
// the files (about 100 bytes a folder, plus 8 bytes per file whose number
// of names is not known, to count a file with several names once).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

constexpr uint32_t kNoFolder = 0xFFFFFFFFu;
// Files below this size are summed into one row per folder.
constexpr uint64_t kSpaceSmallFile = 1048576;
// A folder keeps at most this many of its files by name: its largest.
constexpr size_t kSpaceKeptFiles = 32;

// Files by extension: lower-cased (A to Z only), without the dot, at most
// this many units; a longer one is summed in the 其他 row, as are the
// extensions met after the first kSpaceMaxExtensions.
constexpr size_t kSpaceExtensionUnits = 16;
constexpr size_t kSpaceMaxExtensions = 4096;

enum : uint8_t {
    SPACE_LINK = 1,    // a junction or symbolic link: shown, size 0, never entered
    SPACE_DENIED = 2,  // a folder that could not be read
};

struct SpaceFile {
    uint64_t size;
    uint64_t space;       // bytes it takes on the volume
    uint64_t id;          // file id as the scan met it (FinderRecord::id); FS_NO_ID (0) when not known
    uint32_t name;        // offset into the tree's names
    uint16_t nameLength;
    uint8_t flags;
    uint64_t modified;    // last write, FILETIME units; 0 when not known
};

struct SpaceExtensionSum {
    char16_t ext[kSpaceExtensionUnits + 1];  // empty: the files without an extension
    bool other;                              // the 其他 row: ext is empty
    uint32_t files;
    uint64_t size, space;
};

// The extension of name into ext (lower-cased, kSpaceExtensionUnits + 1
// units): true with "" for none, false when it is too long to be kept.
bool SpaceExtensionOf(const char16_t* name, size_t length, char16_t* ext);

struct SpaceFolder {
    // Over the whole subtree, once the tree is finished.
    uint64_t size = 0, space = 0;
    uint32_t files = 0, folders = 0;
    // Its own files that are not kept by name: how many, their bytes, and
    // how many of them are not small (more than kSpaceKeptFiles large ones).
    uint64_t restSize = 0, restSpace = 0;
    uint32_t restFiles = 0, restLarge = 0;
    // Last writes, FILETIME units (0: none known): the newest of the files
    // not kept by name, and once finished the newest of every file in the
    // subtree (a folder's own time is not counted: it changes with a name).
    uint64_t restModified = 0, modified = 0;
    uint32_t parent = kNoFolder, firstChild = kNoFolder, nextSibling = kNoFolder;
    uint32_t name = 0;
    uint16_t nameLength = 0;
    uint8_t flags = 0;
    bool attached = false;  // has a parent (or is the root); false again once removed
    uint64_t id = 0;        // file id as the scan met it; 0 when not known (the root)
    // Largest first once finished (a heap by size while building).
    std::vector<SpaceFile> kept;
};

// An array in blocks of 4096: growth never copies it nor holds room for
// twice what is kept, and an index is a shift and a mask away.
template <typename T>
class Blocks {
public:
    T& operator[](uint32_t i) { return blocks_[i >> kBits][i & kMask]; }
    const T& operator[](uint32_t i) const { return blocks_[i >> kBits][i & kMask]; }
    uint32_t size() const { return size_; }
    void emplace_back() {
        if ((size_ & kMask) == 0) blocks_.emplace_back(new T[kMask + 1]());
        ++size_;
    }
    void clear() {
        blocks_.clear();
        blocks_.shrink_to_fit();
        size_ = 0;
    }
    size_t bytes() const { return blocks_.size() * (kMask + 1) * sizeof(T); }

private:
    static constexpr uint32_t kBits = 12;
    static constexpr uint32_t kMask = (1u << kBits) - 1;
    std::vector<std::unique_ptr<T[]>> blocks_;
    uint32_t size_ = 0;
};

class SpaceTree {
public:
    SpaceTree();

    // The root is folder 0; it has no name.
    const SpaceFolder& Folder(uint32_t index) const { return folders_[index]; }
    uint32_t FolderCount() const { return folders_.size(); }
    const char16_t* Name(uint32_t offset) const { return names_[offset >> kNameBlockBits].get() + (offset & kNameBlockMask); }
    // Files met under more names than one, counted at the first only.
    uint64_t ExtraNames() const { return extraNames_; }
    // Bytes the tree holds, for the benchmark and the status line.
    size_t MemoryBytes() const;

    // Building. A folder can be made before its place is known (the MFT
    // lists a file before its folder) and attached later; only folders
    // that reach the root count.
    uint32_t NewFolder();
    // id: the folder's file id, 0 when not known.
    void AttachFolder(uint32_t folder, uint32_t parent, const char16_t* name, size_t length, uint8_t flags,
                      uint64_t id = 0);
    uint32_t AddFolder(uint32_t parent, const char16_t* name, size_t length, uint8_t flags, uint64_t id = 0) {
        const uint32_t folder = NewFolder();
        AttachFolder(folder, parent, name, length, flags, id);
        return folder;
    }
    void MarkFolder(uint32_t folder, uint8_t flags) { folders_[folder].flags |= flags; }
    // A hint: the folder is written to soon (both of its cache lines).
    void Prefetch(uint32_t folder) const {
        if (folder >= folders_.size()) return;
        const char* at = reinterpret_cast<const char*>(&folders_[folder]);
        __builtin_prefetch(at, 1);
        __builtin_prefetch(at + sizeof(SpaceFolder) - 1, 1);
    }
    // Sums standing for files and folders not added one by one (a scan's
    // running totals in a snapshot): files count as the folder's own files
    // not kept by name, subfolders as folders below it.
    void AddSummary(uint32_t folder, uint64_t size, uint64_t space, uint32_t files, uint32_t subfolders);
    // links: the number of the file's names, 0 when not known; a file whose
    // identity was met already (and links is not 1) is not counted again.
    // modified: the file's last write (FILETIME units), 0 when not known.
    void AddFile(uint32_t folder, const char16_t* name, size_t length, uint64_t size, uint64_t space,
                 uint64_t identity, uint32_t links, uint8_t flags, uint64_t modified = 0);
    // Sums every folder reachable from the root and orders the kept files;
    // once, at the end: the tree takes no files after it, and lets go of
    // the identities it kept to count a file with several names once.
    void Finish();

    // The folders directly under folder, in no particular order.
    std::vector<uint32_t> Children(uint32_t folder) const;

    // After Finish, what was deleted from the disk leaves the tree without a
    // new scan: every folder above it loses exactly its size, space, files
    // and folders (never below 0). A removed folder is no folder's child
    // any more; its index stays valid but unreachable.
    void RemoveFolder(uint32_t folder);
    // The kept file at index of folder's kept files (the later ones move up),
    // taken off its extension's sums too.
    void RemoveFile(uint32_t folder, uint32_t index);
    // One of folder's files not kept by name, of these bytes, taken off the
    // sums of name's extension too.
    void RemoveRestFile(uint32_t folder, const char16_t* name, uint64_t size, uint64_t space);
    // Files deleted with a folder (RemoveFolder and ShrinkFolder leave the
    // extension sums alone), summed as SpaceSumDeletedFile sums them: each
    // row's sums are taken off that extension's row, or off the 其他 row
    // where AddFile put such files. A row left with no files goes.
    void RemoveExtensionSums(const std::vector<SpaceExtensionSum>& deleted);
    // A folder partly deleted: what remains of it (as counted on the disk,
    // which may be more than was there: files may have come meanwhile)
    // replaces its subfolders and files, all shown as its files not kept by
    // name; large of them are 1 MB or more. The folders above change by the
    // difference.
    void ShrinkFolder(uint32_t folder, uint64_t size, uint64_t space, uint32_t files, uint32_t large,
                      uint32_t folders);
    // A folder partly deleted, rescanned: its contents become those of
    // remains (a finished tree whose root stands for the folder): its
    // subfolders, kept files and the rest, with their ids, so each can be
    // entered and deleted in turn. The folders above change by the
    // difference; the extension sums are left alone.
    void ReplaceContents(uint32_t folder, const SpaceTree& remains);
    // Every file added (kept by name or not, each once) summed by its
    // extension: the rows met, in no particular order, then the 其他 row
    // when it has files.
    std::vector<SpaceExtensionSum> ExtensionSums() const;
    // Whether ext (as SpaceExtensionOf gives it) has a row of its own.
    bool ExtensionCounted(const char16_t* ext) const;

private:
    uint32_t Intern(const char16_t* name, size_t length);
    bool FirstSight(uint64_t identity);
    // Takes these amounts off folder and every folder above it.
    void Subtract(uint32_t folder, uint64_t size, uint64_t space, uint32_t files, uint32_t folders);
    // A folder's totals as they were before its contents changed.
    struct Totals {
        uint64_t size, space;
        uint32_t files, folders;
    };
    // Moves every folder above folder by the change of its totals from before.
    void ChangeAbove(uint32_t folder, const Totals& before);
    // Takes folder's subfolders out of the tree (their indices stay valid
    // but unreachable) and forgets its own files.
    void DetachContents(uint32_t folder);

    // The small files' sums go straight into their folder: a separate
    // 32-byte table of them while building (fewer bytes touched a file)
    // would be held beside the folders at the moment memory peaks.
    Blocks<SpaceFolder> folders_;
    bool finished_ = false;  // Finish ran: no more files
    static constexpr uint32_t kNameBlockBits = 15;
    static constexpr uint32_t kNameBlockMask = (1u << kNameBlockBits) - 1;
    std::vector<std::unique_ptr<char16_t[]>> names_;  // blocks of 2^15 units; a name never spans two
    uint32_t nameUsed_ = 0;                           // in the last block
    // Identities met, in 64 open-addressing tables by the hash's top bits
    // (0 is empty: no identity is 0), each at most 4/5 full and grown by
    // half on its own, so growing never holds a second copy of them all.
    static constexpr int kSeenShards = 64;
    std::vector<uint64_t> seen_[kSeenShards];
    size_t seenCount_[kSeenShards] = {};
    uint64_t extraNames_ = 0;
    // The sums by extension: open addressing on a power-of-two table at
    // most half full (an empty slot has files 0), so at most 2 *
    // kSpaceMaxExtensions slots of 56 bytes.
    struct ExtensionSlot {
        char16_t ext[kSpaceExtensionUnits];  // not terminated: length says
        uint16_t length;
        uint32_t files;
        uint64_t size, space;
    };
    void AddToExtension(const char16_t* name, size_t length, uint64_t size, uint64_t space);
    // Lowers (never below 0) the row of ext, or the 其他 row when ext
    // went there; a row at 0 files leaves the table.
    void TakeFromExtension(const char16_t* ext, bool tooLong, uint32_t files, uint64_t size, uint64_t space);
    size_t FindExtension(const char16_t* ext, size_t length) const;
    std::vector<ExtensionSlot> extensions_;
    size_t extensionCount_ = 0;
    ExtensionSlot otherExtensions_ = {};
    bool extensionsFull_ = false;  // an extension went to 其他 for want of a row
};

// Adds one deleted file to sums by extension (one row per extension as
// SpaceExtensionOf gives it; a too long one in the row with other set),
// for SpaceTree::RemoveExtensionSums.
void SpaceSumDeletedFile(std::vector<SpaceExtensionSum>* sums, const char16_t* name, size_t length, uint64_t size,
                         uint64_t space);
