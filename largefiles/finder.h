// The finder: what both ways of reading a drive hand on, and the rules they
// share, written once.
//
// Producers. The walk (FinderWalk below) lists the drive folder by folder,
// each folder held open and every child opened relative to it, never
// through a path, and hands each entry on as a FinderRecord: a name in a
// folder with the file's size, the bytes it takes on the volume,
// attributes, file id and number of names. The MFT reader (mft_reader.h)
// hands on the same FinderRecords, one per name a listing would show, each
// with its folder as the MFT names it: a record number and the sequence the
// name was written for, which the sink judges against the folder it holds.
// Both carry the last write time (the listing's, or $STANDARD_INFORMATION's).
//
// Sinks. The large-file list (scanner.h, mft.h) and the space tree
// (space_scan.h) are a sink of each producer. A walk sink is a plain table
// of functions and its own state; the walk calls every function of it on
// ONE thread (the one that called FinderWalk), in one order whatever the
// number of threads listing folders: a folder's entries in its listing's
// order, and its subfolders in the sink's order (FinderOrder). So a sink
// needs no lock and its results are the same with 1 thread or 16. The MFT
// sinks are called in MFT order on the thread that called the reader.
//
// Running totals for a reader on another thread (the space view's live
// fill): a sink keeps them in a FinderTotals, written with relaxed atomic
// stores by the sink's thread alone and readable at any moment from any
// thread (ScanSpaceTreeWalk takes one); a reader never touches the sink's
// other state (the tree) until the producer has returned.
#pragma once

#include "platform/fs.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

// One name of a file or folder as a producer met it.
struct FinderRecord {
    const char16_t* name;  // terminated; nameLength units before the terminator
    size_t nameLength;
    uint32_t attributes;  // FS_ATTR_*
    uint32_t reparseTag;  // with FS_ATTR_REPARSE_POINT; 0 when unknown
    uint64_t size;        // bytes (0 for a folder)
    uint64_t space;       // bytes on the volume; FS_NO_SPACE when not known
    uint64_t id;          // file id (NTFS: sequence << 48 | record); FS_NO_ID when not known
    uint32_t links;       // number of names; 0 when not known
    uint64_t modified;    // last write, FILETIME units (100 ns since 1601, UTC); 0 when not known
};

// What a sink's running totals are: files and folders met, bytes met on the
// volume. Written by the sink's thread, read by any.
struct FinderTotals {
    std::atomic<uint64_t> files{0};
    std::atomic<uint64_t> folders{0};
    std::atomic<uint64_t> bytes{0};
    void Add(std::atomic<uint64_t>& counter, uint64_t n) {
        counter.store(counter.load(std::memory_order_relaxed) + n, std::memory_order_relaxed);
    }
};

// Where a folder's subfolders come among its entries.
enum FinderOrder : int32_t {
    // Each subfolder's whole content right after its own entry (the space
    // tree: a file with several names is charged to the name met first so).
    FINDER_SUBFOLDER_AT_ONCE = 0,
    // After all of the folder's entries, the last listed subfolder first
    // (the large-file list's discovery order).
    FINDER_SUBFOLDERS_AFTER = 1,
};

struct FinderSink {
    void* self;
    FinderOrder order;
    // Whether the walk should open and list the folder `record` below a
    // folder at `depth` (root 0) whose path from the root is pathUnits long.
    // Called on any listing thread, so it may look at its arguments alone.
    bool (*enters)(const FinderRecord& record, int32_t depth, size_t pathUnits);
    // An entry of folder `parent` (the key the sink gave it; the root's is
    // 0) whose path, when the sink wants it, is folderPath + '\' + name.
    // For a folder that enters() accepted, returns the key the folder's own
    // entries will name as their parent (otherwise anything).
    uint32_t (*entry)(void* self, uint32_t parent, const char16_t* folderPath, size_t folderUnits, int32_t depth,
                      const FinderRecord& record);
    // The folder `key` is about to be listed (the walk has its listing); the
    // sink reports progress here.
    void (*folder)(void* self, uint32_t key, int32_t depth);
    // The folder `key` could not be opened or listed: error is the Win32
    // code, never "file not found" or "path not found" (what vanished under
    // the walk is simply not there) nor FS_ERROR_NO_MORE_FILES.
    void (*failed)(void* self, uint32_t key, uint32_t error);
};

// The walk's number of listing threads when asked for 0: twice the
// processors (a listing waits on the disk more than it computes), at most 16.
int32_t FinderDefaultThreads();

// Walks root ("C:\" or any folder). Returns false when root cannot be opened
// (the sink's failed() was told, key 0) and true otherwise; a cancelled walk
// stops between two entries. threads 0: FinderDefaultThreads(). The results
// do not depend on threads: the calling thread hands every entry to the
// sink in the order above; the other threads list ahead of it, at most
// kFinderAhead folders' listings held at once (each folder's handle held
// until its subfolders are opened from it).
constexpr int32_t kFinderAhead = 256;
// With rootId (not FS_NO_ID), root must still be the folder of that id:
// another one in its place fails as root does (FS_ERROR_CHANGED).
bool FinderWalk(const char16_t* root, int32_t threads, const FinderSink& sink, bool (*cancelled)(),
                uint64_t rootId = FS_NO_ID);

// ---- The rules, once ----

// Room for a path the walks build, terminator included.
constexpr size_t kScanPathUnits = 4096;
// The large-file search goes no deeper than this below the root (root 0).
constexpr int32_t kScanMaxDepth = 30;

// "." or "..": listed by every folder, never an entry.
inline bool IsDotName(const char16_t* name, size_t length) {
    return name[0] == u'.' && (length == 1 || (length == 2 && name[1] == u'.'));
}
inline bool IsDotName(const char16_t* name) {
    return name[0] == u'.' && (name[1] == 0 || (name[1] == u'.' && name[2] == 0));
}

// A name Win32 can hold and that addresses a file: not empty, not a dot
// name, no separator ('\' or '/'), no stream (':'), no control unit. A
// damaged record can claim anything; a listing never shows such a name.
bool FinderWin32Name(const char16_t* name, size_t length);

// The name of a record a folder listing shows among several in one folder:
// a long name over the DOS (8.3) one. NTFS name spaces: 0 POSIX, 1 Win32,
// 2 DOS, 3 Win32 and DOS in one.
constexpr uint8_t kFinderDosNameSpace = 2;
inline bool FinderPrefersName(uint8_t candidate, uint8_t chosen) {
    return chosen == kFinderDosNameSpace && candidate != kFinderDosNameSpace;
}

// Whether a name written for (record, sequence) still names that folder:
// the record now holds a folder of that sequence. A stale parent sequence
// is a name of a file deleted since, or damage; it is not listed.
inline bool FinderParentIsCurrent(uint16_t written, uint16_t current) { return written == current; }

// Whether an extension record belongs to the base it names: the base record
// holds the file of the sequence the extension was written for.
inline bool FinderExtensionIsCurrent(uint16_t baseSequence, uint16_t current) { return baseSequence == current; }

// One folder cannot hold one name twice: where two records claim one name
// in one folder (one of them damaged), neither is vouched for. Every name
// of the folder counts, whatever its size: a record claiming the name of a
// small neighbour is refused as much as one claiming a large one's. The
// key of (folder, name) that the claims are counted by: exact units, 64
// bits of hash (two different names of one folder meet on one key once in
// 2^64 / names^2; the cost is one file not listed).
uint64_t FinderNameKey(uint64_t folder, const char16_t* name, size_t length);
