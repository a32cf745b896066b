// One sequential read of an NTFS volume's master file table, handing each
// file's record (its extension records' names and size attached) to a sink.
// The large-file search and the folder tree are two such sinks.
#pragma once

#include "largefiles/finder.h"
#include "largefiles/mft.h"
#include "largefiles/mft_record.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace ntfs {

constexpr uint64_t kRootRecord = 5;
// Below this, metafiles, except the root.
constexpr uint64_t kFirstUserRecord = 24;

// The parent reference of a record that comes with no name (nameLength 0):
// the root, or a file or folder none of whose names a listing would show.
constexpr uint64_t kNoParent = ~0ull;

// The MFT's records, handed on as the walk hands its entries (finder.h): a
// FinderRecord per name a listing shows (a long name over the DOS one, none
// Win32 cannot hold), with the folder it was written in as a reference
// (sequence << 48 | record) for the sink to judge (FinderParentIsCurrent).
// A folder comes once, with the one name listed (its first long name); a
// file once per name, consecutively, links the number of its names. A
// folder or file with no name to show still comes once, nameless, parent
// kNoParent: its record still says what it is. The record number and
// sequence are the file id's.
struct MftName {
    uint64_t parent;
    FinderRecord record;
    // FinderNameKey(parent, name), for a sink that counts the claims on one
    // name in one folder (made on the reading threads); 0 when nameless or
    // not asked for.
    uint64_t key;
};

class RecordSink {
public:
    virtual ~RecordSink() = default;
    // Names of base records in use (number >= kFirstUserRecord or the
    // root), in order, many at once: a sink can fetch what the next ones
    // need while it takes this one.
    virtual void Records(const MftName* names, size_t count) = 0;
    // The percent of the MFT read (0 to 99).
    virtual void Progress(int32_t percent) = 0;
    // Called once before the first names: the number of records the MFT
    // holds, so that a sink can take its room at once.
    virtual void Expect(uint64_t records) { (void)records; }
    // Whether the names come with their keys.
    virtual bool Keys() const { return false; }
};

// The reader's outcomes besides 0 (read through), -1 (memory) and
// kScanNotNtfs.
constexpr int32_t kMftCancelled = -3;

// Reads the volume's MFT, delivering every base record to sink (records
// whose parts an attribute list keeps elsewhere come last, once their
// extension records are read). upcase receives the volume's $UpCase table,
// for listing order. Cancellation is polled once per 1 MiB read. The MFT is
// read and parsed on two threads of their own ahead of the sink (each
// reading 256 KiB at a time into a buffer of its own), into the names of at
// most eight 1 MiB chunks of records waiting for the sink (about 130 KB
// each), whatever the MFT's size: read must allow being called from two
// threads at once. The sink is called on the calling thread only.
int32_t ReadMftRecords(VolumeReader read, void* volume, RecordSink* sink, std::vector<uint16_t>* upcase,
                       ScanCancelledCallback cancelled);

// Hands records that come from elsewhere than a volume (made-up ones, in
// tests) to sink as ReadMftRecords hands what it reads: in this order,
// metafiles left out, extension records attached to their bases at the end.
void DeliverRecords(std::vector<std::pair<uint64_t, RecordFacts>>& records, RecordSink* sink);

}  // namespace ntfs
