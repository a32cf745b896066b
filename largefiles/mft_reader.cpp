#include "largefiles/mft_reader.h"

#include "largefiles/finder.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <cstdlib>
#include <cstring>
#include <map>
#include <unordered_map>

namespace ntfs {
namespace {

constexpr uint64_t kUpCaseRecord = 10;
// Handed from the reading threads to the sink in chunks of kChunkBytes,
// each read and parsed in pieces of kPieceBytes.
constexpr size_t kChunkBytes = 1u << 20;
constexpr size_t kPieceBytes = 256u << 10;
constexpr size_t kAlignment = 4096;
constexpr size_t kMaxAttributeList = 0x40000;
// NTFS keeps at most 1024 hard links to a file, a DOS name beside each at
// most. Extension records giving a base more are damage: each name more is
// a path more to list, and KeepListedNames takes time by their square.
constexpr size_t kMaxNames = 2048;

// A buffer at a 4096-byte boundary, as unbuffered volume reads need.
class AlignedBuffer {
public:
    ~AlignedBuffer() { std::free(raw_); }
    bool Reserve(size_t bytes) {
        if (bytes <= size_) return true;
        std::free(raw_);
        size_ = 0;
        raw_ = static_cast<uint8_t*>(std::malloc(bytes + kAlignment));
        if (!raw_) return false;
        size_ = bytes;
        return true;
    }
    uint8_t* Data() const {
        uintptr_t at = reinterpret_cast<uintptr_t>(raw_);
        return reinterpret_cast<uint8_t*>((at + kAlignment - 1) & ~static_cast<uintptr_t>(kAlignment - 1));
    }

private:
    uint8_t* raw_ = nullptr;
    size_t size_ = 0;
};

// Reads the volume's clusters behind a byte range of a run-mapped stream.
class StreamReader {
public:
    StreamReader(VolumeReader read, void* volume, const Geometry& g) : read_(read), volume_(volume), g_(g) {}

    // Reads bytes [offset, offset + length) of the stream; offset and length
    // are multiples of the cluster size. Holes read as zeros.
    bool Read(const std::vector<Run>& runs, uint64_t offset, size_t length, uint8_t* out) const {
        const uint64_t cluster = g_.cluster;
        uint64_t vcn = offset / cluster;
        uint64_t clusters = length / cluster;
        while (clusters) {
            const Run* run = Find(runs, vcn);
            if (!run) return false;
            uint64_t within = vcn - run->vcn;
            uint64_t take = std::min<uint64_t>(run->length - within, clusters);
            const size_t bytes = static_cast<size_t>(take * cluster);
            if (run->lcn < 0) {
                std::memset(out, 0, bytes);
            } else if (!read_(volume_, (static_cast<uint64_t>(run->lcn) + within) * cluster, out, bytes)) {
                return false;
            }
            out += bytes;
            vcn += take;
            clusters -= take;
        }
        return true;
    }

    // Reads one record of the MFT (the runs map the MFT) into out, which
    // holds a whole cluster or record, whichever is larger.
    bool ReadRecord(const std::vector<Run>& mft, uint64_t number, uint8_t* out) const {
        if (number > (UINT64_MAX - g_.cluster) / g_.record) return false;  // no real MFT is that long
        const uint64_t byte = number * g_.record;
        const uint64_t start = byte / g_.cluster * g_.cluster;
        const uint64_t span = (byte + g_.record - start + g_.cluster - 1) / g_.cluster * g_.cluster;
        if (!Read(mft, start, static_cast<size_t>(span), out)) return false;
        if (start != byte) std::memmove(out, out + (byte - start), g_.record);
        return ApplyFixups(out, g_.record);
    }

private:
    static const Run* Find(const std::vector<Run>& runs, uint64_t vcn) {
        for (const Run& run : runs) {
            if (vcn >= run.vcn && vcn - run.vcn < run.length) return &run;
        }
        return nullptr;
    }

    VolumeReader read_;
    void* volume_;
    Geometry g_;
};

// The unnamed $DATA of the record in `record` (fixups applied), with the
// extents an attribute list puts elsewhere, found through `mft`, or, for the
// MFT itself (mft null), through the part of it decoded so far.
// initialized: the stream's initialized length.
bool StreamRuns(const StreamReader& reader, const Geometry& g, const std::vector<Run>* mft, uint8_t* record,
                uint8_t* scratch, std::vector<Run>* runs, uint64_t* initialized) {
    const uint64_t volumeClusters = g.volumeBytes / g.cluster;
    std::vector<uint8_t> list;
    bool haveFirst = false;
    Attributes attributes(record, g.record);
    Attribute a;
    while (attributes.Next(&a)) {
        if (a.type == kAttrData && a.nameLength == 0 && a.nonResident) {
            if (!DecodeRuns(a.runs, a.runsEnd, a.lowestVcn, volumeClusters, runs)) return false;
            if (a.lowestVcn == 0) {
                haveFirst = true;
                *initialized = a.initializedSize;
            }
        } else if (a.type == kAttrAttributeList) {
            if (!a.nonResident) {
                list.assign(a.value, a.value + a.valueLength);
            } else if (a.lowestVcn == 0 && a.dataSize <= kMaxAttributeList) {
                std::vector<Run> listRuns;
                if (!DecodeRuns(a.runs, a.runsEnd, 0, volumeClusters, &listRuns)) return false;
                const size_t bytes = static_cast<size_t>((a.dataSize + g.cluster - 1) / g.cluster * g.cluster);
                AlignedBuffer buffer;
                if (!buffer.Reserve(bytes) || !reader.Read(listRuns, 0, bytes, buffer.Data())) return false;
                list.assign(buffer.Data(), buffer.Data() + a.dataSize);
            } else {
                return false;
            }
        }
    }
    if (!haveFirst) return false;
    // The other extents, in the order the list keeps them (by lowest VCN):
    // each one's record lies in the part of the MFT known so far.
    const uint64_t self = Le32(record + 0x2C);
    for (size_t at = 0; at + 0x1A <= list.size();) {
        const uint8_t* entry = list.data() + at;
        const uint16_t length = Le16(entry + 4);
        if (length < 0x1A || at + length > list.size()) break;
        at += length;
        const uint64_t lowest = Le64(entry + 8);
        const uint64_t holder = RecordOf(Le64(entry + 0x10));
        if (Le32(entry) != kAttrData || entry[6] != 0 || lowest == 0 || holder == self) continue;
        if (!reader.ReadRecord(mft ? *mft : *runs, holder, scratch)) return false;
        Attributes extension(scratch, g.record);
        bool found = false;
        while (extension.Next(&a)) {
            if (a.type == kAttrData && a.nameLength == 0 && a.nonResident && a.lowestVcn == lowest) {
                if (!DecodeRuns(a.runs, a.runsEnd, lowest, volumeClusters, runs)) return false;
                found = true;
            }
        }
        if (!found) return false;
    }
    std::sort(runs->begin(), runs->end(), [](const Run& x, const Run& y) { return x.vcn < y.vcn; });
    return true;
}

// One name of a record, its units kept in a chunk's name store at `at`.
struct NameSlot {
    uint64_t parent;  // record number
    uint16_t parentSequence;
    uint8_t nameSpace;
    uint32_t at;
    uint32_t length;
};

// What the sink takes of a run of records: their names in MFT order, the
// units of those names, and (rare) the records that cannot be handed on
// yet: extension records and bases whose attribute list may keep parts
// elsewhere, in MFT order.
struct Parsed {
    std::vector<MftName> entries;
    // Each entry's name's units at nameAt[i] in names (the store grows while
    // the chunk is parsed, so the pointers are set when the sink is called).
    std::vector<uint32_t> nameAt;
    std::vector<char16_t> names;
    std::vector<NameSlot> slots;  // the record being parsed
    std::vector<std::pair<uint64_t, RecordFacts>> deferred;
    uint64_t records = 0;  // read, including those not in use
    bool keys = false;     // the sink counts claims by key
    void Clear() {  // keeps keys
        entries.clear();
        nameAt.clear();
        names.clear();
        deferred.clear();
        records = 0;
    }
};

const char16_t kNoName[1] = {0};

// The rules of what a listing shows of the file in record `number`, once for
// every way a record comes (read, made up, or put together from its
// extension records): the DOS name only where no long one is in its folder;
// a folder's first long name; names Win32 cannot hold left out. The names'
// units are in out->names at their slots' offsets, terminated.
void Emit(uint64_t number, const RecordFacts& facts, Parsed* out) {
    std::vector<NameSlot>& names = out->slots;
    const size_t count = KeepListedNames(names.data(), names.size());
    if (count == 0 && !facts.directory) return;
    FinderRecord record{};
    record.name = kNoName;
    record.attributes = (facts.directory ? FS_ATTR_DIRECTORY : 0u) | (facts.reparse ? FS_ATTR_REPARSE_POINT : 0u);
    record.reparseTag = facts.reparseTag;
    record.size = facts.hasSize ? facts.size : 0;
    record.space = facts.hasSize ? facts.space : 0;
    record.id = (static_cast<uint64_t>(facts.sequence) << 48) | number;
    record.links = static_cast<uint32_t>(count);
    record.modified = facts.modified;
    auto listable = [out](const NameSlot& name) { return FinderWin32Name(out->names.data() + name.at, name.length); };
    auto add = [out, &record](const NameSlot* name) {
        MftName entry{kNoParent, record, 0};
        uint32_t at = 0;
        if (name) {
            entry.parent = (static_cast<uint64_t>(name->parentSequence) << 48) | name->parent;
            entry.record.nameLength = name->length;
            at = name->at;
            if (out->keys) entry.key = FinderNameKey(entry.parent, out->names.data() + at, name->length);
        }
        out->entries.push_back(entry);
        out->nameAt.push_back(at);
    };
    if (facts.directory) {
        // A folder has one parent; the root none.
        const NameSlot* chosen = nullptr;
        for (size_t i = 0; i < count; ++i)
            if (!chosen || FinderPrefersName(names[i].nameSpace, chosen->nameSpace)) chosen = &names[i];
        add(number != kRootRecord && chosen && listable(*chosen) ? chosen : nullptr);
        return;
    }
    bool any = false;
    for (size_t i = 0; i < count; ++i) {
        if (!listable(names[i])) continue;
        add(&names[i]);
        any = true;
    }
    if (!any) add(nullptr);
}

// A name of the record being parsed: room for its units (filled by the
// caller) in the store, terminated.
char16_t* TakeName(Parsed* out, uint64_t parent, uint8_t nameSpace, uint8_t length) {
    const size_t at = out->names.size();
    out->names.resize(at + length + 1u);
    out->names[at + length] = 0;
    out->slots.push_back(NameSlot{RecordOf(parent), SequenceOf(parent), nameSpace, static_cast<uint32_t>(at), length});
    return &out->names[at];
}

// A record held as facts (made up, or put together) through the same rules.
void EmitFacts(uint64_t number, const RecordFacts& facts, Parsed* out) {
    out->slots.clear();
    for (const Name& name : facts.names) {
        // A name is at most 255 units on NTFS; a made-up longer one is cut there.
        const uint8_t length = static_cast<uint8_t>(std::min<size_t>(name.text.size(), 255));
        char16_t* units = TakeName(out, (static_cast<uint64_t>(name.parentSequence) << 48) | name.parent, name.nameSpace, length);
        std::memcpy(units, name.text.data(), length * sizeof(char16_t));
    }
    Emit(number, facts, out);
}

// Hands the entries to the sink, in order.
void Feed(Parsed& parsed, RecordSink* sink) {
    for (size_t i = 0; i < parsed.entries.size(); ++i) {
        FinderRecord& record = parsed.entries[i].record;
        if (record.nameLength) record.name = parsed.names.data() + parsed.nameAt[i];
    }
    if (!parsed.entries.empty()) sink->Records(parsed.entries.data(), parsed.entries.size());
}

// Holds back what cannot be delivered yet: a file whose names or size an
// attribute list may keep in extension records, and what those records said
// of their bases. Both are rare.
class Deferred {
public:
    explicit Deferred(RecordSink* sink) : sink_(sink) { one_.keys = sink->Keys(); }

    void Take(uint64_t number, RecordFacts& facts) {
        if (facts.base != 0) {
            // Of use only to a base still waiting for its parts; one seen
            // before without waiting was delivered already.
            if (facts.base < number && !listed_.count(facts.base)) return;
            extensions_[facts.base].push_back(std::move(facts));
            return;
        }
        if (number < kFirstUserRecord && number != kRootRecord) return;
        if (facts.hasList) {
            listed_[number] = std::move(facts);
            return;
        }
        Deliver(number, facts);
    }

    // Attaches what extension records hold to their bases, checking that
    // the base is the file they were written for, and delivers the bases.
    void Finish() {
        for (auto& entry : listed_) {
            RecordFacts& facts = entry.second;
            auto found = extensions_.find(entry.first);
            if (found != extensions_.end()) {
                for (RecordFacts& extension : found->second) {
                    if (!FinderExtensionIsCurrent(extension.baseSequence, facts.sequence)) continue;
                    for (Name& name : extension.names) {
                        if (facts.names.size() >= kMaxNames) break;
                        facts.names.push_back(std::move(name));
                    }
                    if (extension.hasSize && !facts.hasSize) {
                        facts.hasSize = true;
                        facts.size = extension.size;
                        facts.space = extension.space;
                    }
                }
            }
            Deliver(entry.first, facts);
        }
        listed_.clear();
        extensions_.clear();
    }

private:
    void Deliver(uint64_t number, const RecordFacts& facts) {
        one_.Clear();
        EmitFacts(number, facts, &one_);
        Feed(one_, sink_);
    }

    RecordSink* sink_;
    Parsed one_;
    std::map<uint64_t, RecordFacts> listed_;
    std::unordered_map<uint64_t, std::vector<RecordFacts>> extensions_;
};

// Reads the MFT's chunks ahead of the sink on kReadThreads threads of its
// own and parses them there, a piece at a time through a buffer of its own
// (256 KiB: the copy's source and target and the parse stay in the
// processor's cache, where 1 MiB pieces did not): each record's fixups put
// back, its facts read and the rules of what a listing shows applied
// (Emit), into one of kSlots slots of names for the sink. A slot holds a
// chunk of 1 MiB: a hand-off per four pieces, each a wake-up of a thread. The thread that
// called the reader only hands the names to the sink, in MFT order, which
// is the part that cannot be split. Two reads are outstanding at once: what
// lets a solid-state disk answer at its speed (the volume is opened for
// overlapped reads on Windows). Memory: a buffer per thread and the names
// of kSlots chunks' records (about 130 KB a chunk: 80 bytes and the units
// of each name), whatever the MFT's size.
// Where no thread can be made, the calling thread reads and parses each
// chunk when it needs it.
constexpr int kReadThreads = 2;
constexpr int kSlots = 8;  // a multiple of kReadThreads: each thread its own slots

struct ReadAhead {
    enum : int { kEmpty = 0, kRead = 1, kFailed = 2 };
    const StreamReader* reader;
    const std::vector<Run>* mft;
    uint64_t total;
    size_t chunk;
    size_t piece;  // chunk is a multiple
    uint32_t cluster;
    uint32_t record;
    uint64_t records;  // in the MFT: the last chunk's tail holds none
    AlignedBuffer buffers[kReadThreads];
    Parsed parsed[kSlots];
    std::mutex lock;
    std::condition_variable changed;
    int state[kSlots] = {};  // under lock
    uint64_t delivered = 0;
    bool stop = false;  // under lock
    std::thread threads[kReadThreads];
    int running = 0;
    // The reader threads end with the read, whatever way it ends.
    ~ReadAhead() {
        {
            std::lock_guard<std::mutex> guard(lock);
            stop = true;
        }
        changed.notify_all();
        for (std::thread& thread : threads)
            if (thread.joinable()) thread.join();
    }
};

size_t ChunkLength(const ReadAhead& ahead, uint64_t start) {
    const uint64_t left = ahead.total - start;
    return static_cast<size_t>(std::min<uint64_t>(ahead.chunk, (left + ahead.cluster - 1) / ahead.cluster * ahead.cluster));
}

// Puts back each record's saved units and reads its facts into out, where
// the reading thread has the chunk in its cache; a record that fails the
// check or is not in use gives nothing.
void ParsePiece(const ReadAhead& ahead, uint8_t* data, uint64_t start, size_t bytes, Parsed* out) {
    const uint64_t first = start / ahead.record;
    const size_t count = static_cast<size_t>(std::min<uint64_t>(bytes / ahead.record, ahead.records - first));
    out->records += count;
    RecordFacts facts;
    for (size_t i = 0; i < count; ++i) {
        uint8_t* record = data + i * ahead.record;
        const uint64_t number = first + i;
        if (!ApplyFixups(record, ahead.record)) continue;
        out->slots.clear();
        const size_t mark = out->names.size();
        const bool inUse = ReadFactsWith(record, ahead.record, &facts,
                                         [out](uint64_t parent, uint8_t nameSpace, const uint8_t* raw, uint8_t length) {
                                             CopyNameUnits(TakeName(out, parent, nameSpace, length), raw, length);
                                         });
        if (!inUse) continue;
        if (facts.base != 0 || facts.hasList) {
            out->names.resize(mark);
            out->deferred.emplace_back(number, RecordFacts{});
            ReadFacts(record, ahead.record, &out->deferred.back().second);
            continue;
        }
        if (number < kFirstUserRecord && number != kRootRecord) {
            out->names.resize(mark);
            continue;
        }
        Emit(number, facts, out);
    }
}

// Reads and parses the chunk at byte start of the MFT into out, a piece at
// a time through buffer; false when it could not be read.
bool ReadChunk(const ReadAhead& ahead, uint8_t* buffer, uint64_t start, size_t length, Parsed* out) {
    out->Clear();
    for (size_t done = 0; done < length; done += ahead.piece) {
        const size_t bytes = std::min(ahead.piece, length - done);
        if (!ahead.reader->Read(*ahead.mft, start + done, bytes, buffer)) return false;
        ParsePiece(ahead, buffer, start + done, bytes, out);
    }
    return true;
}

// Reader thread `first`: chunks first, first + kReadThreads, ... in order,
// each into its slot once the sink has taken what the slot held.
void FillAhead(ReadAhead* ahead, int first) {
    uint8_t* buffer = ahead->buffers[first].Data();
    for (uint64_t index = static_cast<uint64_t>(first); index * ahead->chunk < ahead->total; index += kReadThreads) {
        const uint64_t start = index * ahead->chunk;
        const int slot = static_cast<int>(index % kSlots);
        {
            std::unique_lock<std::mutex> guard(ahead->lock);
            ahead->changed.wait(guard, [&] { return ahead->stop || ahead->state[slot] == ReadAhead::kEmpty; });
            if (ahead->stop) return;
        }
        const size_t length = ChunkLength(*ahead, start);
        bool read = false;
        try {
            read = ReadChunk(*ahead, buffer, start, length, &ahead->parsed[slot]);
        } catch (const std::bad_alloc&) {
            read = false;  // the sink ends the read as for a failed one
        }
        {
            std::lock_guard<std::mutex> guard(ahead->lock);
            ahead->state[slot] = read ? ReadAhead::kRead : ReadAhead::kFailed;
        }
        ahead->changed.notify_all();
        if (!read) return;
    }
}

// False when the buffers cannot be had.
bool StartAhead(ReadAhead* ahead) {
    for (AlignedBuffer& buffer : ahead->buffers)
        if (!buffer.Reserve(ahead->piece)) return false;
    try {
        for (int t = 0; t < kReadThreads; ++t) {
            ahead->threads[t] = std::thread(FillAhead, ahead, t);
            ++ahead->running;
        }
    } catch (...) {
        // Fewer threads than chunks' owners: nothing read ahead at all.
        {
            std::lock_guard<std::mutex> guard(ahead->lock);
            ahead->stop = true;
        }
        ahead->changed.notify_all();
        for (std::thread& thread : ahead->threads)
            if (thread.joinable()) thread.join();
        ahead->running = 0;
        ahead->stop = false;
        for (int& state : ahead->state) state = ReadAhead::kEmpty;
    }
    return true;
}

// The slot holding the chunk at byte start of the MFT (the next in order),
// read and parsed; -1 when it could not be read.
int NextChunk(ReadAhead* ahead, uint64_t start) {
    if (ahead->running == 0) {
        const size_t bytes = ChunkLength(*ahead, start);
        return ReadChunk(*ahead, ahead->buffers[0].Data(), start, bytes, &ahead->parsed[0]) ? 0 : -1;
    }
    const int slot = static_cast<int>((start / ahead->chunk) % kSlots);
    std::unique_lock<std::mutex> guard(ahead->lock);
    ahead->changed.wait(guard, [&] { return ahead->state[slot] != ReadAhead::kEmpty; });
    return ahead->state[slot] == ReadAhead::kRead ? slot : -1;
}

// The sink is done with the chunk NextChunk gave last: its slot is free.
void ChunkDelivered(ReadAhead* ahead) {
    if (ahead->running == 0) return;
    {
        std::lock_guard<std::mutex> guard(ahead->lock);
        ahead->state[ahead->delivered % kSlots] = ReadAhead::kEmpty;
        ++ahead->delivered;
    }
    ahead->changed.notify_all();
}

}  // namespace

int32_t ReadMftRecords(VolumeReader read, void* volume, RecordSink* sink, std::vector<uint16_t>* upcase,
                       ScanCancelledCallback cancelled) {
    AlignedBuffer boot;
    if (!boot.Reserve(4096) || !read(volume, 0, boot.Data(), 4096)) return kScanNotNtfs;
    Geometry g;
    if (!ReadGeometry(boot.Data(), &g)) return kScanNotNtfs;
    StreamReader reader(read, volume, g);

    // Record 0 is read through a map of just its own clusters; its $DATA
    // then maps the whole MFT.
    const size_t recordSpan = std::max<size_t>(g.record, g.cluster);
    AlignedBuffer first, scratch;
    if (!first.Reserve(recordSpan) || !scratch.Reserve(recordSpan)) return -1;
    std::vector<Run> bootstrap = {Run{0, static_cast<int64_t>(g.mftLcn), (recordSpan + g.cluster - 1) / g.cluster}};
    if (!reader.ReadRecord(bootstrap, 0, first.Data())) return kScanNotNtfs;
    std::vector<Run> mft;
    uint64_t initialized = 0;
    if (!StreamRuns(reader, g, nullptr, first.Data(), scratch.Data(), &mft, &initialized)) return kScanNotNtfs;
    if (mft.empty() || mft[0].vcn != 0 || mft[0].lcn != static_cast<int64_t>(g.mftLcn)) return kScanNotNtfs;
    const uint64_t records = initialized / g.record;
    if (records <= kFirstUserRecord) return kScanNotNtfs;
    // An MFT is never sparse and never holds more records than its volume
    // has room for: such a map would have the reader fill zeros for hours.
    // (DecodeRuns already refuses a run past the volume.)
    if (records > g.volumeBytes / g.record) return kScanNotNtfs;
    uint64_t mapped = 0;
    for (const Run& run : mft) {
        if (run.lcn < 0) return kScanNotNtfs;
        mapped += run.length;
    }
    if (mapped < (initialized + g.cluster - 1) / g.cluster) return kScanNotNtfs;
    // The boot sector's volume size is as crafted as the map: the disk must
    // hold the last record before the sinks take room for every record.
    const uint64_t lastCluster = (records * g.record - 1) / g.cluster * g.cluster;
    if (!reader.Read(mft, lastCluster, g.cluster, scratch.Data())) return kScanNotNtfs;

    // $UpCase, for the listing order.
    {
        if (!reader.ReadRecord(mft, kUpCaseRecord, scratch.Data())) return kScanNotNtfs;
        std::vector<Run> runs;
        uint64_t bytes = 0;
        if (!StreamRuns(reader, g, &mft, scratch.Data(), first.Data(), &runs, &bytes) || bytes < 2 || bytes > 131072)
            return kScanNotNtfs;
        const size_t span = static_cast<size_t>((bytes + g.cluster - 1) / g.cluster * g.cluster);
        AlignedBuffer table;
        if (!table.Reserve(span)) return -1;
        if (!reader.Read(runs, 0, span, table.Data())) return kScanNotNtfs;
        upcase->resize(static_cast<size_t>(bytes / 2));
        for (size_t i = 0; i < upcase->size(); ++i) (*upcase)[i] = Le16(table.Data() + 2 * i);
    }

    const uint64_t totalBytes = records * g.record;
    const size_t piece = static_cast<size_t>(std::max<uint64_t>(kPieceBytes / g.cluster * g.cluster, g.cluster));
    const size_t chunk = piece * (kChunkBytes / kPieceBytes);
    ReadAhead ahead;
    ahead.reader = &reader;
    ahead.mft = &mft;
    ahead.total = totalBytes;
    ahead.chunk = chunk;
    ahead.piece = piece;
    for (Parsed& parsed : ahead.parsed) parsed.keys = sink->Keys();
    ahead.cluster = g.cluster;
    ahead.record = g.record;
    ahead.records = records;
    if (!StartAhead(&ahead)) return -1;
    Deferred deferred(sink);
    sink->Expect(records);
    sink->Progress(0);
    for (uint64_t start = 0; start < totalBytes; start += chunk) {
        if (cancelled && cancelled()) return kMftCancelled;
        const int slot = NextChunk(&ahead, start);
        if (slot < 0) return kScanNotNtfs;
        Parsed& parsed = ahead.parsed[slot];
        Feed(parsed, sink);
        for (auto& held : parsed.deferred) deferred.Take(held.first, held.second);
        const uint64_t through = start / g.record + parsed.records;
        ChunkDelivered(&ahead);
        sink->Progress(static_cast<int32_t>(through * 99 / records));
    }
    deferred.Finish();
    return 0;
}

void DeliverRecords(std::vector<std::pair<uint64_t, RecordFacts>>& records, RecordSink* sink) {
    uint64_t count = kFirstUserRecord;
    for (const auto& record : records) count = std::max(count, record.first + 1);
    sink->Expect(count);
    Deferred deferred(sink);
    for (auto& record : records) deferred.Take(record.first, record.second);
    deferred.Finish();
}

}  // namespace ntfs
