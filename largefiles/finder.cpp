#include "largefiles/finder.h"

#include "text/text16.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <vector>

bool FinderWin32Name(const char16_t* name, size_t length) {
    if (length == 0 || IsDotName(name, length)) return false;
    // Every name of a volume passes here. Units below 64 are looked up in a
    // mask of the refused ones (controls, '/', ':'); '\\' is the one refused
    // unit above.
    constexpr uint64_t kRefusedBelow64 = 0xFFFFFFFFull | (1ull << u'/') | (1ull << u':');
    size_t i = 0;
#if defined(__SSE2__)
    // Eight units at a time: a control is a unit that saturates to 0 when
    // 0x1F is taken from it.
    const __m128i controls = _mm_set1_epi16(0x1F);
    const __m128i backslash = _mm_set1_epi16(u'\\'), slash = _mm_set1_epi16(u'/'), colon = _mm_set1_epi16(u':');
    const __m128i zero = _mm_setzero_si128();
    auto refused = [&](size_t at) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(name + at));
        const __m128i bad = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(_mm_subs_epu16(units, controls), zero), _mm_cmpeq_epi16(units, backslash)),
            _mm_or_si128(_mm_cmpeq_epi16(units, slash), _mm_cmpeq_epi16(units, colon)));
        return _mm_movemask_epi8(bad) != 0;
    };
    if (length >= 8) {
        for (; i + 8 <= length; i += 8)
            if (refused(i)) return false;
        // The last eight units, overlapping what was checked.
        return i == length || !refused(length - 8);
    }
#endif
    uint64_t bad = 0;
    for (; i < length; ++i) {
        const uint32_t c = name[i];
        bad |= ((kRefusedBelow64 >> (c & 63)) & (c < 64)) | (c == u'\\');
    }
    return bad == 0;
}

uint64_t FinderNameKey(uint64_t folder, const char16_t* name, size_t length) {
    // FNV-1a over the folder and the units, then a final mix.
    uint64_t h = 0xcbf29ce484222325ull;
    auto add = [&h](uint64_t v) {
        h ^= v;
        h *= 0x100000001b3ull;
    };
    add(folder);
    add(length);
    for (size_t i = 0; i < length; ++i) add(name[i]);
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return h;
}

int32_t FinderDefaultThreads() {
    const unsigned processors = std::thread::hardware_concurrency();
    const unsigned threads = processors ? 2 * processors : 2;
    return static_cast<int32_t>(std::min(threads, 16u));
}

namespace {

bool IsMissing(uint32_t error) { return error == FS_ERROR_FILE_NOT_FOUND || error == FS_ERROR_PATH_NOT_FOUND; }

// Node states change under the pool's lock; DONE is also read without it.

// A listed folder's handle, shared by the openings of its subfolders: it is
// closed when the last of them has opened (or given up).
struct Held {
    FsDir dir;
    std::atomic<int32_t> refs;
};

void Release(Held* held) {
    if (held->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    FsCloseDir(held->dir, false);
    delete held;
}

struct Entry {
    uint32_t name;  // offset into the folder's names
    uint32_t nameLength;
    uint32_t attributes, reparseTag, links;
    uint64_t size, space, id, modified;
    int32_t child;  // index into the folder's children; -1 when not entered
};

enum : int32_t { NODE_WAITING = 0, NODE_TAKEN = 1, NODE_DONE = 2 };

// One folder to list. Made by its parent's listing with the parent's
// handle; the lister opens it from that handle, lists it, and makes its
// subfolders' nodes. The sink's thread alone reads it once it is done.
struct Node {
    Held* parent = nullptr;  // until opened; null for the root
    FsDir rootDir = nullptr;
    std::u16string name;     // in the parent
    uint64_t listedId = FS_NO_ID;
    int32_t depth = 0;
    std::u16string path;     // from the root, as the sinks see it
    uint32_t key = 0;
    bool byWorker = false;
    std::atomic<int32_t> state{NODE_WAITING};
    uint32_t error = 0;
    std::vector<Entry> entries;
    std::vector<char16_t> names;
    std::vector<Node*> children;  // listing order
};

FinderRecord RecordOf(const Node& node, const Entry& e) {
    return FinderRecord{node.names.data() + e.name, e.nameLength, e.attributes, e.reparseTag, e.size, e.space, e.id,
                        e.links, e.modified};
}

// Frees a node not handed to the sink, with every node below it.
void FreeTree(Node* node) {
    for (Node* child : node->children)
        if (child) FreeTree(child);
    if (node->parent) Release(node->parent);
    // The root, never listed: its handle is still its own.
    if (node->rootDir && node->state.load(std::memory_order_relaxed) == NODE_WAITING) FsCloseDir(node->rootDir, false);
    delete node;
}

// Opens and lists node (on any thread).
void List(Node* node, const FinderSink& sink) {
    FsDir dir = node->rootDir;
    if (node->parent) {
        dir = FsOpenSubdir(node->parent->dir, node->name.c_str(), false, node->listedId);
        const uint32_t error = dir ? 0 : FsLastError();
        Release(node->parent);
        node->parent = nullptr;
        if (!dir) {
            if (!IsMissing(error)) node->error = error;
            return;
        }
    }
    // A root keeps its own separator ("C:\"): its children take no second.
    size_t base = node->path.size();
    if (base > 0 && node->path[base - 1] == u'\\') --base;
    FsEntry entry;
    FsFind find = FsDirFindFirst(dir, u"*", &entry, true);
    if (!find) {
        const uint32_t error = FsLastError();
        if (!IsMissing(error) && error != FS_ERROR_NO_MORE_FILES) node->error = error;
    } else {
        do {
            const size_t length = Text16Length(entry.name);
            if (IsDotName(entry.name, length)) continue;
            Entry e{static_cast<uint32_t>(node->names.size()), static_cast<uint32_t>(length), entry.attributes,
                    entry.reparseTag, entry.links, (static_cast<uint64_t>(entry.sizeHigh) << 32) | entry.sizeLow,
                    entry.space, entry.id, entry.modified, -1};
            node->names.insert(node->names.end(), entry.name, entry.name + length + 1);
            // A cloud folder's listing would be fetched onto the drive: it is
            // handed on as an entry and never entered, whatever the sink says.
            if ((entry.attributes & FS_ATTR_DIRECTORY) && !FsDataIsRemote(entry.attributes)) {
                const FinderRecord record{entry.name, length, e.attributes, e.reparseTag, e.size,
                                          e.space, e.id, e.links, e.modified};
                if (sink.enters(record, node->depth, base + 1 + length)) {
                    Node* child = new Node;
                    child->name.assign(entry.name, length);
                    child->listedId = entry.id;
                    child->depth = node->depth + 1;
                    child->path.reserve(base + 1 + length);
                    child->path.assign(node->path, 0, base);
                    child->path += u'\\';
                    child->path += child->name;
                    e.child = static_cast<int32_t>(node->children.size());
                    node->children.push_back(child);
                }
            }
            node->entries.push_back(e);
        } while (FsFindNext(find, &entry));
        FsFindClose(find);
    }
    Held* held = new (std::nothrow) Held{dir, {static_cast<int32_t>(node->children.size()) + 1}};
    if (!held) {
        FsCloseDir(dir, false);  // the subfolders then fail to list, as out of memory
        return;
    }
    for (Node* child : node->children) child->parent = held;
    Release(held);
}

struct Pool {
    const FinderSink* sink;
    std::mutex lock;
    std::condition_variable changed;
    std::vector<Node*> work;  // the next to list on top; not owned
    int32_t ahead = 0;        // listed by a worker, not yet handed to the sink
    bool stop = false;
    bool atOnce = false;      // the sink's order: which subfolder it wants first
};

// Lists node and offers its subfolders to the workers.
void ListAndOffer(Pool& pool, Node* node, bool byWorker, bool offer) {
    try {
        List(node, *pool.sink);
    } catch (const std::bad_alloc&) {
        node->error = FS_ERROR_NOT_ENOUGH_MEMORY;  // what was listed stays
    }
    std::lock_guard<std::mutex> guard(pool.lock);
    node->byWorker = byWorker;
    if (byWorker) ++pool.ahead;
    if (offer) {
        // The subfolder the sink wants first goes on top.
        if (pool.atOnce) {
            pool.work.insert(pool.work.end(), node->children.rbegin(), node->children.rend());
        } else {
            pool.work.insert(pool.work.end(), node->children.begin(), node->children.end());
        }
    }
    node->state.store(NODE_DONE, std::memory_order_release);
    pool.changed.notify_all();
}

void Work(Pool* pool) {
    for (;;) {
        Node* node;
        {
            std::unique_lock<std::mutex> guard(pool->lock);
            pool->changed.wait(guard, [pool] { return pool->stop || (!pool->work.empty() && pool->ahead < kFinderAhead); });
            if (pool->stop) return;
            node = pool->work.back();
            pool->work.pop_back();
            node->state.store(NODE_TAKEN, std::memory_order_relaxed);
        }
        ListAndOffer(*pool, node, true, true);
    }
}

void Stop(Pool& pool, std::vector<std::thread>& workers) {
    {
        std::lock_guard<std::mutex> guard(pool.lock);
        pool.stop = true;
        pool.changed.notify_all();
    }
    for (std::thread& worker : workers) worker.join();
    workers.clear();
}

// Waits for node's listing (or lists it here when no worker took it yet)
// and tells the sink of the folder.
void Begin(Pool& pool, Node* node, bool offer, const FinderSink& sink) {
    bool mine = false;
    {
        std::unique_lock<std::mutex> guard(pool.lock);
        if (node->state.load(std::memory_order_relaxed) == NODE_WAITING) {
            // No worker took it yet: this thread lists it, and the workers
            // must not find it (it is freed once handed over).
            node->state.store(NODE_TAKEN, std::memory_order_relaxed);
            auto at = std::find(pool.work.rbegin(), pool.work.rend(), node);
            if (at != pool.work.rend()) pool.work.erase(std::next(at).base());
            mine = true;
        } else {
            // A worker lists it: meanwhile this thread lists what comes
            // later rather than wait idle.
            while (node->state.load(std::memory_order_acquire) != NODE_DONE) {
                if (pool.work.empty() || pool.ahead >= kFinderAhead) {
                    pool.changed.wait(guard);
                    continue;
                }
                Node* later = pool.work.back();
                pool.work.pop_back();
                later->state.store(NODE_TAKEN, std::memory_order_relaxed);
                guard.unlock();
                ListAndOffer(pool, later, true, offer);
                guard.lock();
            }
        }
    }
    if (mine) ListAndOffer(pool, node, false, offer);
    if (node->byWorker) {
        std::lock_guard<std::mutex> guard(pool.lock);
        --pool.ahead;
        pool.changed.notify_all();
    }
    if (node->error) sink.failed(sink.self, node->key, node->error);
    sink.folder(sink.self, node->key, node->depth);
}

// A folder being handed over, and its next entry.
struct Frame {
    Node* node;
    size_t next;
    bool begun;
};

void FreeFrames(std::vector<Frame>& frames) {
    for (Frame& frame : frames) FreeTree(frame.node);
    frames.clear();
}

}  // namespace

bool FinderWalk(const char16_t* root, int32_t threads, const FinderSink& sink, bool (*cancelled)(), uint64_t rootId) {
    FsDir dir = root ? FsOpenDir(root, false) : nullptr;
    if (dir && rootId != FS_NO_ID) {
        FsIdentity identity;
        if (!FsDirIdentity(dir, &identity) || identity.high != 0 || !FsSameFileId(identity.low, rootId)) {
            FsCloseDir(dir, false);
            sink.failed(sink.self, 0, FS_ERROR_CHANGED);
            return false;
        }
    }
    if (!dir) {
        sink.failed(sink.self, 0, root ? FsLastError() : FS_ERROR_INVALID_NAME);
        return false;
    }
    if (threads <= 0) threads = FinderDefaultThreads();
    Node* first = new (std::nothrow) Node;
    if (!first) {
        FsCloseDir(dir, false);
        throw std::bad_alloc();
    }
    first->rootDir = dir;
    Pool pool;
    pool.sink = &sink;
    pool.atOnce = sink.order == FINDER_SUBFOLDER_AT_ONCE;
    std::vector<std::thread> workers;
    std::vector<Frame> frames;
    try {
        first->path = root;
        frames.push_back(Frame{first, 0, false});
        for (int32_t i = 1; i < threads; ++i) workers.emplace_back(Work, &pool);
    } catch (...) {
        // Fewer threads list (or none but this one); the results are the same.
    }
    if (frames.empty()) {
        FreeTree(first);
        throw std::bad_alloc();
    }
    const bool offer = !workers.empty();
    try {
        while (!frames.empty()) {
            if (cancelled && cancelled()) break;
            Frame& top = frames.back();
            Node* node = top.node;
            if (!top.begun) {
                top.begun = true;
                Begin(pool, node, offer, sink);
            }
            if (top.next < node->entries.size()) {
                const Entry& e = node->entries[top.next++];
                const uint32_t key =
                    sink.entry(sink.self, node->key, node->path.c_str(), node->path.size(), node->depth, RecordOf(*node, e));
                if (e.child < 0) continue;
                Node* child = node->children[static_cast<size_t>(e.child)];
                child->key = key;
                if (!pool.atOnce) continue;
                node->children[static_cast<size_t>(e.child)] = nullptr;  // the frame owns it now
                frames.push_back(Frame{child, 0, false});
                continue;
            }
            // Done with node: with the other order its subfolders come now,
            // the last listed first.
            std::vector<Node*> children;
            children.swap(node->children);
            frames.pop_back();
            delete node;
            if (pool.atOnce) continue;
            for (Node* child : children) frames.push_back(Frame{child, 0, false});
        }
    } catch (const std::bad_alloc&) {
        // A sink out of memory: the threads stop and the nodes go before the
        // caller hears of it.
        Stop(pool, workers);
        FreeFrames(frames);
        throw;
    }
    Stop(pool, workers);
    FreeFrames(frames);
    return true;
}
