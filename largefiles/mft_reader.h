// One sequential read of an NTFS volume's master file table, handing each
// file's record (its extension records' names and size attached) to a sink.
// The large-file search and the folder tree are two such sinks.
#pragma once

#include "largefiles/mft.h"
#include "largefiles/mft_record.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace ntfs {

constexpr uint64_t kRootRecord = 5;
// Below this, metafiles, except the root.
constexpr uint64_t kFirstUserRecord = 24;

class RecordSink {
public:
    virtual ~RecordSink() = default;
    // A base record in use, number >= kFirstUserRecord or the root. The sink
    // may take facts' names away.
    virtual void Record(uint64_t number, RecordFacts& facts) = 0;
    // The percent of the MFT read (0 to 99).
    virtual void Progress(int32_t percent) = 0;
};

// The reader's outcomes besides 0 (read through), -1 (memory) and
// kScanNotNtfs.
constexpr int32_t kMftCancelled = -3;

// Reads the volume's MFT, delivering every base record to sink (records
// whose parts an attribute list keeps elsewhere come last, once their
// extension records are read). upcase receives the volume's $UpCase table,
// for listing order. Cancellation is polled once per 1 MiB read. The MFT is
// read and parsed on two threads of their own ahead of the sink, into four
// 1 MiB buffers (4 MiB, and the facts of their records, whatever the MFT's
// size): read must allow being called from two threads at once. The sink is
// called on the calling thread only.
int32_t ReadMftRecords(VolumeReader read, void* volume, RecordSink* sink, std::vector<uint16_t>* upcase,
                       ScanCancelledCallback cancelled);

// Hands records that come from elsewhere than a volume (made-up ones, in
// tests) to sink as ReadMftRecords hands what it reads: in this order,
// metafiles left out, extension records attached to their bases at the end.
void DeliverRecords(std::vector<std::pair<uint64_t, RecordFacts>>& records, RecordSink* sink);

}  // namespace ntfs
