#include "tests/fakefs/fakefs.h"

#include "platform/expand.h"
#include "platform/fs.h"
#include "platform/fs_common.h"
#include "text/text16.h"
#include "text/wildcard.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Node {
    std::u16string name;
    uint32_t attributes = 0;
    uint64_t size = 0;
    uint32_t reparseTag = 0;
    uint64_t modified = 0;  // FILETIME units; 0: not known
    std::u16string target;  // links only
    uint64_t id = 0;        // the identity: the same whatever name reaches the node
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;  // listing order
    std::map<std::u16string, Node*> index;         // by case-folded name
};

struct Swap {
    int op = -1;
    std::u16string trigger;  // key
    std::u16string entry;
    std::u16string target;
    bool exchange = false;  // the two folders trade places; no link is made
    bool armed = false;
};

struct State {
    Node root;  // children are the drives, "C:" and so on
    std::vector<std::unique_ptr<Node>> removed;  // kept alive for held folders
    std::vector<Swap> swaps;
    std::vector<std::u16string> protectedFolders;
    int moved = 0;
    std::map<std::pair<int, std::u16string>, uint32_t> failures;
    std::map<std::pair<int, std::u16string>, int> calls;
    std::map<std::u16string, std::u16string> environment;
    std::vector<std::pair<std::u16string, uint32_t>> drives;
    int recycleEmptyCalls = 0;
    uint64_t nextId = 1;
    bool protectedIncomplete = false;
    std::map<char16_t, std::vector<uint8_t>> volumes;  // by upper-case drive letter
    uint64_t usedBytes = 0;  // FsVolumeUsedBytes; 0: not known
    std::map<int, std::u16string> systemFolders;
    bool elevated = false;
    std::u16string userSid = kFakeUserSid;
    int recalls = 0;
    std::vector<std::pair<FsDriverPackage, bool>> driverPackages;  // with whether a device uses it
};

std::recursive_mutex g_lock;
State* g_state = new State;
thread_local uint32_t t_lastError = 0;

// Letter case beyond ASCII too (Latin-1 here), as the system's rule folds it.
char16_t Fold(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<char16_t>(c - 32);
    return c;
}

bool SameName(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) return false;
    }
    return true;
}

std::vector<std::u16string> Components(const char16_t* path) {
    std::vector<std::u16string> parts;
    std::u16string current;
    for (const char16_t* p = path; *p; ++p) {
        if (*p == u'\\' || *p == u'/') {
            if (!current.empty()) parts.push_back(current);
            current.clear();
        } else {
            current += *p;
        }
    }
    if (!current.empty()) parts.push_back(current);
    return parts;
}

std::u16string Key(const char16_t* path) {
    std::u16string key;
    for (const std::u16string& part : Components(path)) {
        if (!key.empty()) key += u'\\';
        for (char16_t c : part) key += Fold(c);
    }
    return key;
}

std::u16string Folded(const std::u16string& name) {
    std::u16string folded = name;
    for (char16_t& c : folded) c = Fold(c);
    return folded;
}

Node* Child(Node* node, const std::u16string& name) {
    auto it = node->index.find(Folded(name));
    return it == node->index.end() ? nullptr : it->second;
}

Node* Resolve(const char16_t* path, bool followLast, int hops = 0);

Node* FollowLink(Node* node, int hops) {
    if (!node || !(node->attributes & FS_ATTR_REPARSE_POINT) || node->target.empty() || hops > 8) return node;
    return Resolve(node->target.c_str(), true, hops + 1);
}

// Walks the path, following links in every component but (optionally) the
// last, as the Windows path resolver does with junctions.
Node* Resolve(const char16_t* path, bool followLast, int hops) {
    std::vector<std::u16string> parts = Components(path);
    if (parts.empty()) return nullptr;
    Node* node = &g_state->root;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (parts[i] == u".") continue;
        node = Child(node, parts[i]);
        if (!node) return nullptr;
        if (i + 1 < parts.size() || followLast) node = FollowLink(node, hops);
        if (!node) return nullptr;
    }
    return node;
}

void RunSwap(const Swap& swap);

bool Failing(FakeOp op, const char16_t* path) {
    std::u16string key = Key(path);
    for (Swap& swap : g_state->swaps) {
        if (swap.armed) {
            swap.armed = false;
            swap.op = -1;  // once
            RunSwap(swap);
        }
    }
    for (Swap& swap : g_state->swaps) {
        if (swap.op == static_cast<int>(op) && swap.trigger == key) swap.armed = true;
    }
    g_state->calls[{static_cast<int>(op), key}]++;
    auto it = g_state->failures.find({static_cast<int>(op), key});
    if (it == g_state->failures.end()) return false;
    t_lastError = it->second;
    return true;
}

Node* Create(const char16_t* path, uint32_t attributes) {
    std::vector<std::u16string> parts = Components(path);
    Node* node = &g_state->root;
    for (size_t i = 0; i < parts.size(); ++i) {
        Node* child = Child(node, parts[i]);
        if (!child) {
            auto fresh = std::make_unique<Node>();
            fresh->name = parts[i];
            fresh->attributes = FS_ATTR_DIRECTORY;
            fresh->id = g_state->nextId++;
            fresh->parent = node;
            child = fresh.get();
            node->index[Folded(parts[i])] = child;
            node->children.push_back(std::move(fresh));
        }
        node = child;
    }
    if (node != &g_state->root) node->attributes = attributes;
    return node;
}

// Takes node out of its folder and returns its ownership.
std::unique_ptr<Node> Detach(Node* node) {
    Node* parent = node->parent;
    parent->index.erase(Folded(node->name));
    for (auto it = parent->children.begin(); it != parent->children.end(); ++it) {
        if (it->get() == node) {
            std::unique_ptr<Node> owned = std::move(*it);
            parent->children.erase(it);
            owned->parent = nullptr;
            return owned;
        }
    }
    return nullptr;
}

void Unlink(Node* node) { g_state->removed.push_back(Detach(node)); }

// The path a node really has, through its parents' own names.
std::u16string RealPath(const Node* node) {
    std::u16string path;
    for (; node && node != &g_state->root; node = node->parent) path = node->name + (path.empty() ? path : u"\\" + path);
    return node ? (path.size() == 2 ? path + u"\\" : path) : std::u16string();
}

void Attach(Node* parent, std::unique_ptr<Node> node) {
    node->parent = parent;
    parent->index[Folded(node->name)] = node.get();
    parent->children.push_back(std::move(node));
}

void RunSwap(const Swap& swap) {
    Node* node = Resolve(swap.entry.c_str(), false);
    if (swap.exchange) {
        Node* other = Resolve(swap.target.c_str(), false);
        if (!node || !other || !node->parent || !other->parent || node == other) return;
        Node* nodeParent = node->parent;
        Node* otherParent = other->parent;
        std::u16string nodeName = node->name, otherName = other->name;
        std::unique_ptr<Node> a = Detach(node);
        std::unique_ptr<Node> b = Detach(other);
        a->name = otherName;
        b->name = nodeName;
        Attach(otherParent, std::move(a));
        Attach(nodeParent, std::move(b));
        return;
    }
    if (!node || !node->parent) return;
    Node* aside = Create(u"C:\\~moved", FS_ATTR_DIRECTORY);
    std::unique_ptr<Node> owned = Detach(node);
    owned->name = std::u16string(1, static_cast<char16_t>(u'0' + g_state->moved++));
    Attach(aside, std::move(owned));
    Node* target = Resolve(swap.target.c_str(), true);
    bool directory = target && (target->attributes & FS_ATTR_DIRECTORY);
    Node* link = Create(swap.entry.c_str(), FS_ATTR_REPARSE_POINT | (directory ? FS_ATTR_DIRECTORY : FS_ATTR_ARCHIVE));
    link->target = swap.target;
}

int CountBelow(const Node& node) {
    int count = 0;
    for (const auto& child : node.children) count += 1 + CountBelow(*child);
    return count;
}

const char16_t* LookupVariable(const char16_t* name, void*) {
    for (const auto& variable : g_state->environment) {
        if (SameName(variable.first, name)) return variable.second.c_str();
    }
    return nullptr;
}

}  // namespace

struct FsListing {
    std::vector<FsEntry> entries;
    size_t next = 0;
};

struct FsFolder {
    Node* node;
    std::u16string path;  // as opened: the key for failures and call counts
    bool forRemoval;
};

namespace {

// The listing of dir as Windows gives it; null (with the code set) when
// nothing matches.
FsFind ListNode(Node* dir, const char16_t* namePattern) {
    auto listing = std::make_unique<FsListing>();
    auto add = [&](const std::u16string& name, uint32_t attributes, uint64_t size, uint32_t tag, uint64_t id,
                   uint64_t modified) {
        if (!WildcardMatch(namePattern, name.c_str())) return;
        FsEntry e{};
        Text16CopyTruncated(e.name, 260, name.c_str());
        e.attributes = attributes;
        e.sizeHigh = static_cast<uint32_t>(size >> 32);
        e.sizeLow = static_cast<uint32_t>(size);
        e.reparseTag = (attributes & FS_ATTR_REPARSE_POINT) ? tag : 0;
        e.id = id;
        // Whole 4 KiB clusters, as NTFS gives a file that is not resident;
        // the number of names is never known, as in a Win32 listing.
        // A cloud file's data is elsewhere: it takes no clusters here.
        e.space = (attributes & FS_ATTR_DIRECTORY) || FsDataIsRemote(attributes) ? 0 : (size + 4095) / 4096 * 4096;
        e.links = 0;
        e.modified = modified;
        listing->entries.push_back(e);
    };
    if (dir->parent != &g_state->root) {
        add(u".", FS_ATTR_DIRECTORY, 0, 0, dir->id, dir->modified);
        add(u"..", FS_ATTR_DIRECTORY, 0, 0, dir->parent->id, dir->parent->modified);
    }
    for (const auto& child : dir->children) {
        add(child->name, child->attributes, (child->attributes & FS_ATTR_DIRECTORY) ? 0 : child->size, child->reparseTag,
            child->id, child->modified);
    }
    if (listing->entries.empty()) {
        t_lastError = FS_ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    return listing.release();
}

// A file (or file link) goes; a folder or a read-only file refuses, as on Windows.
bool DeleteNode(Node* node) {
    if (!node) {
        t_lastError = FS_ERROR_FILE_NOT_FOUND;
        return false;
    }
    if ((node->attributes & FS_ATTR_DIRECTORY) || (node->attributes & FS_ATTR_READONLY)) {
        t_lastError = FS_ERROR_ACCESS_DENIED;
        return false;
    }
    Unlink(node);
    return true;
}

// An empty folder, or a folder link whatever its target holds.
bool RemoveDirNode(Node* node) {
    if (!node) {
        t_lastError = FS_ERROR_FILE_NOT_FOUND;
        return false;
    }
    if (!(node->attributes & FS_ATTR_DIRECTORY)) {
        t_lastError = FS_ERROR_DIRECTORY;
        return false;
    }
    if (!(node->attributes & FS_ATTR_REPARSE_POINT) && !node->children.empty()) {
        t_lastError = FS_ERROR_DIR_NOT_EMPTY;
        return false;
    }
    Unlink(node);
    return true;
}

// An open of an entry whose data is remote: on Windows that fetches it.
void NoteOpen(const Node* node) {
    if (node && FsDataIsRemote(node->attributes)) g_state->recalls++;
}

FsDir HoldNode(Node* node, std::u16string path, bool forRemoval) {
    NoteOpen(node);
    if (!node) {
        t_lastError = FS_ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    if (node->attributes & FS_ATTR_REPARSE_POINT) {
        t_lastError = FS_ERROR_STOPPED_ON_SYMLINK;
        return nullptr;
    }
    if (!(node->attributes & FS_ATTR_DIRECTORY)) {
        t_lastError = FS_ERROR_DIRECTORY;
        return nullptr;
    }
    return new FsFolder{node, std::move(path), forRemoval};
}

}  // namespace

void FakeFsReset() {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    delete g_state;
    g_state = new State;
}

void FakeFsAddDir(const char16_t* path, uint32_t extraAttributes) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    Create(path, FS_ATTR_DIRECTORY | extraAttributes);
}

void FakeFsAddFile(const char16_t* path, uint64_t size, uint32_t extraAttributes) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    Create(path, FS_ATTR_ARCHIVE | extraAttributes)->size = size;
}

void FakeFsAddHardLink(const char16_t* path, const char16_t* existing) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    Node* node = Resolve(existing, false);
    if (!node) return;
    const uint64_t size = node->size, id = node->id;
    Node* name = Create(path, node->attributes);
    name->size = size;
    name->id = id;
}

void FakeFsAddLink(const char16_t* path, const char16_t* target, bool directory) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    Node* node = Create(path, FS_ATTR_REPARSE_POINT | (directory ? FS_ATTR_DIRECTORY : FS_ATTR_ARCHIVE));
    node->target = target;
}

void FakeFsSetModified(const char16_t* path, uint64_t modified) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    if (Node* node = Resolve(path, false)) node->modified = modified;
}

void FakeFsSetReparseTag(const char16_t* path, uint32_t tag) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    Node* node = Resolve(path, false);
    if (!node) return;
    node->attributes |= FS_ATTR_REPARSE_POINT;
    node->reparseTag = tag;
}

namespace {

void AddSwap(FakeOp op, const char16_t* triggerPath, const char16_t* entryPath, const char16_t* target, bool exchange) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    Swap swap;
    swap.op = static_cast<int>(op);
    swap.trigger = Key(triggerPath);
    swap.entry = entryPath;
    swap.target = target;
    swap.exchange = exchange;
    g_state->swaps.push_back(swap);
}

}  // namespace

void FakeFsSwapAfter(FakeOp op, const char16_t* triggerPath, const char16_t* entryPath, const char16_t* target) {
    AddSwap(op, triggerPath, entryPath, target, false);
}

void FakeFsExchangeAfter(FakeOp op, const char16_t* triggerPath, const char16_t* entryPath, const char16_t* otherPath) {
    AddSwap(op, triggerPath, entryPath, otherPath, true);
}

void FakeFsSetSystemFolder(FsSystemFolder folder, const char16_t* path) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    if (path) {
        g_state->systemFolders[folder] = path;
    } else {
        g_state->systemFolders.erase(folder);
    }
}

void FakeFsAddDriverPackage(const FsDriverPackage& package, bool inUse) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    g_state->driverPackages.emplace_back(package, inUse);
}

int FakeFsDriverPackageCount() {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    return static_cast<int>(g_state->driverPackages.size());
}

void FakeFsSetElevated(bool elevated) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    g_state->elevated = elevated;
}

void FakeFsSwapNow(const char16_t* entryPath, const char16_t* target) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    Swap swap;
    swap.entry = entryPath;
    swap.target = target;
    RunSwap(swap);
}

void FakeFsAddAlias(const char16_t* path, const char16_t* existing) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    Node* node = Resolve(existing, false);
    std::vector<std::u16string> parts = Components(path);
    if (!node || parts.empty()) return;
    std::u16string name = parts.back();
    std::u16string parentPath;
    for (size_t i = 0; i + 1 < parts.size(); ++i) parentPath += parts[i] + u"\\";
    Node* parent = parts.size() == 1 ? &g_state->root : Resolve(parentPath.c_str(), false);
    if (parent) parent->index[Folded(name)] = node;
}

void FakeFsSetVolume(char16_t letter, std::vector<uint8_t> bytes) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    g_state->volumes[Fold(letter)] = std::move(bytes);
}

struct FsVolumeImpl {
    const std::vector<uint8_t>* bytes;
};

FsVolume FsOpenVolume(const char16_t* root) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    auto found = root && root[0] ? g_state->volumes.find(Fold(root[0])) : g_state->volumes.end();
    if (found == g_state->volumes.end()) {
        t_lastError = FS_ERROR_ACCESS_DENIED;  // as without administrator rights
        return nullptr;
    }
    return new FsVolumeImpl{&found->second};
}

bool FsReadVolume(FsVolume volume, uint64_t offset, void* buffer, size_t length) {
    if (!volume || offset > volume->bytes->size() || length > volume->bytes->size() - offset) {
        t_lastError = 38;  // ERROR_HANDLE_EOF
        return false;
    }
    std::memcpy(buffer, volume->bytes->data() + offset, length);
    return true;
}

void FsCloseVolume(FsVolume volume) { delete volume; }

void FakeFsBreakProtectedList() {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    g_state->protectedIncomplete = true;
}

void FakeFsProtect(const char16_t* path) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    g_state->protectedFolders.push_back(path);
}

void FakeFsFail(FakeOp op, const char16_t* path, uint32_t code) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    g_state->failures[{static_cast<int>(op), Key(path)}] = code;
}

int FakeFsCalls(FakeOp op, const char16_t* path) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    auto it = g_state->calls.find({static_cast<int>(op), Key(path)});
    return it == g_state->calls.end() ? 0 : it->second;
}

bool FakeFsExists(const char16_t* path) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    return Resolve(path, false) != nullptr;
}

uint32_t FakeFsAttributes(const char16_t* path) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    Node* node = Resolve(path, false);
    return node ? node->attributes : FS_INVALID_ATTRIBUTES;
}

namespace {

void FilesBelow(const Node& node, std::vector<std::u16string>* out) {
    for (const auto& child : node.children) {
        if (child->attributes & FS_ATTR_DIRECTORY) {
            if (!(child->attributes & FS_ATTR_REPARSE_POINT)) FilesBelow(*child, out);
        } else {
            out->push_back(Key(RealPath(child.get()).c_str()));
        }
    }
}

}  // namespace

std::vector<std::u16string> FakeFsFiles() {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    std::vector<std::u16string> files;
    FilesBelow(g_state->root, &files);
    return files;
}

int FakeFsEntryCount() {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    return CountBelow(g_state->root);
}

void FakeFsSetEnv(const char16_t* name, const char16_t* value) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    g_state->environment[name] = value;
}

void FakeFsAddDrive(const char16_t* root, uint32_t type) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    g_state->drives.emplace_back(root, type);
}

int FakeFsRecycleEmptyCalls() {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    return g_state->recycleEmptyCalls;
}

// ---- the seam ----

FsFind FsFindFirst(const char16_t* pattern, FsEntry* entry) { return FsFindFirstEx(pattern, entry, false); }

FsFind FsFindFirstEx(const char16_t* pattern, FsEntry* entry, bool) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    int split = SplitSearchPattern(pattern);
    if (split < 0) {
        t_lastError = FS_ERROR_INVALID_NAME;
        return nullptr;
    }
    std::u16string dirPath(pattern, static_cast<size_t>(split));
    const char16_t* namePattern = pattern + split + 1;
    if (Failing(FakeOp::List, dirPath.c_str())) return nullptr;
    Node* dir = Resolve(dirPath.c_str(), true);
    NoteOpen(dir);
    if (!dir || !(dir->attributes & FS_ATTR_DIRECTORY)) {
        t_lastError = FS_ERROR_PATH_NOT_FOUND;
        return nullptr;
    }
    FsFind listing = ListNode(dir, namePattern);
    if (!listing) return nullptr;
    *entry = listing->entries[0];
    listing->next = 1;
    return listing;
}

bool FsFindNext(FsFind find, FsEntry* entry) {
    if (!find || find->next >= find->entries.size()) {
        t_lastError = 18;  // ERROR_NO_MORE_FILES
        return false;
    }
    *entry = find->entries[find->next++];
    return true;
}

void FsFindClose(FsFind find) { delete find; }

uint32_t FsLastError() { return t_lastError; }

FsDir FsOpenDir(const char16_t* path, bool forRemoval, const FsIdentity* above, bool* metAbove) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    if (metAbove) *metAbove = false;
    if (Failing(FakeOp::Open, path)) return nullptr;
    // One component at a time, never through a link.
    std::vector<std::u16string> parts = Components(path);
    Node* node = parts.empty() ? nullptr : &g_state->root;
    bool met = false;
    for (size_t i = 0; node && i < parts.size(); ++i) {
        node = Child(node, parts[i]);
        if (node && (node->attributes & FS_ATTR_REPARSE_POINT)) {
            t_lastError = FS_ERROR_STOPPED_ON_SYMLINK;
            return nullptr;
        }
        if (node && i + 1 < parts.size() && !(node->attributes & FS_ATTR_DIRECTORY)) {
            t_lastError = FS_ERROR_PATH_NOT_FOUND;
            return nullptr;
        }
        if (node && i + 1 < parts.size() && above && FsSameIdentity(*above, FsIdentity{1, 0, node->id})) met = true;
    }
    FsDir held = HoldNode(node, path, forRemoval);
    if (held && metAbove) *metAbove = met;
    return held;
}

FsDir FsOpenSubdir(FsDir dir, const char16_t* name, bool forRemoval, uint64_t listed) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    std::u16string path = dir->path + u"\\" + name;
    if (Failing(FakeOp::Open, path.c_str())) return nullptr;
    if (std::u16string(name).find_first_of(u"\\/") != std::u16string::npos) {
        t_lastError = FS_ERROR_INVALID_NAME;
        return nullptr;
    }
    Node* node = Child(dir->node, name);
    if (node && listed != FS_NO_ID && node->id != listed && !(node->attributes & FS_ATTR_REPARSE_POINT)) {
        t_lastError = FS_ERROR_CHANGED;
        return nullptr;
    }
    return HoldNode(node, path, forRemoval);
}

bool FsDirIdentity(FsDir dir, FsIdentity* identity) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    *identity = FsIdentity{1, 0, dir->node->id};
    return true;
}

bool FsResolveFolder(const char16_t* path, char16_t* real, uint32_t capacity, FsIdentity* identity) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    if (Failing(FakeOp::Open, path)) return false;
    Node* node = Resolve(path, true);
    if (!node || !(node->attributes & FS_ATTR_DIRECTORY)) {
        t_lastError = node ? FS_ERROR_DIRECTORY : FS_ERROR_PATH_NOT_FOUND;
        return false;
    }
    std::u16string where = RealPath(node);
    if (real && Text16CopyTruncated(real, capacity, where.c_str()) != where.size()) {
        t_lastError = FS_ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    *identity = FsIdentity{1, 0, node->id};
    return true;
}

FsFind FsDirFindFirst(FsDir dir, const char16_t* pattern, FsEntry* entry, bool) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    if (Failing(FakeOp::List, dir->path.c_str())) return nullptr;
    FsFind listing = ListNode(dir->node, pattern);
    if (!listing) return nullptr;
    *entry = listing->entries[0];
    listing->next = 1;
    return listing;
}

// The names a file has: nodes of its identity anywhere on the drives.
static uint32_t NamesOf(const Node* node, uint64_t id) {
    uint32_t names = 0;
    for (const auto& child : node->children) {
        if (!(child->attributes & FS_ATTR_DIRECTORY) && child->id == id) ++names;
        if ((child->attributes & FS_ATTR_DIRECTORY) && !(child->attributes & FS_ATTR_REPARSE_POINT))
            names += NamesOf(child.get(), id);
    }
    return names;
}

bool FsDeleteFileAt(FsDir dir, const char16_t* name, bool clearReadOnly, uint32_t* names) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    std::u16string path = dir->path + u"\\" + name;
    Node* node = Child(dir->node, name);
    if (names) *names = node ? NamesOf(&g_state->root, node->id) : 0;
    if (clearReadOnly && node && !FsIsLink(node->attributes, node->reparseTag) && (node->attributes & FS_ATTR_READONLY)) {
        if (Failing(FakeOp::SetAttributes, path.c_str())) return false;
        node = Child(dir->node, name);
        if (node && !FsIsLink(node->attributes, node->reparseTag)) node->attributes &= ~static_cast<uint32_t>(FS_ATTR_READONLY);
    }
    if (Failing(FakeOp::DeleteFile, path.c_str())) return false;
    return DeleteNode(Child(dir->node, name));
}

bool FsDeleteListedFileAt(FsDir dir, const char16_t* name, uint64_t id, uint64_t size) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    std::u16string path = dir->path + u"\\" + name;
    if (Failing(FakeOp::DeleteFile, path.c_str())) return false;
    Node* node = Child(dir->node, name);
    if (!node) {
        t_lastError = FS_ERROR_FILE_NOT_FOUND;
        return false;
    }
    if ((node->attributes & (FS_ATTR_DIRECTORY | FS_ATTR_REPARSE_POINT)) || node->id != id || node->size != size) {
        t_lastError = FS_ERROR_CHANGED;
        return false;
    }
    node->attributes &= ~static_cast<uint32_t>(FS_ATTR_READONLY);
    return DeleteNode(node);
}

bool FsRemoveDirAt(FsDir dir, const char16_t* name) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    std::u16string path = dir->path + u"\\" + name;
    if (Failing(FakeOp::RemoveDirectory, path.c_str())) return false;
    return RemoveDirNode(Child(dir->node, name));
}

bool FsCloseDir(FsDir dir, bool remove) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    if (!dir) return !remove;
    bool removed = true;
    if (remove) {
        if (Failing(FakeOp::RemoveDirectory, dir->path.c_str())) {
            removed = false;
        } else if (!dir->node->parent) {
            t_lastError = FS_ERROR_FILE_NOT_FOUND;
            removed = false;
        } else if (!dir->node->children.empty()) {
            t_lastError = FS_ERROR_DIR_NOT_EMPTY;
            removed = false;
        } else {
            Unlink(dir->node);
        }
    }
    delete dir;
    return removed;
}

uint32_t FsRootLength(const char16_t* path) { return WindowsRootLength(path); }

bool FsNamesIgnoreCase() { return true; }

bool FsNamesEqual(const char16_t* a, const char16_t* b, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i) {
        if (Fold(a[i]) != Fold(b[i])) return false;
    }
    return true;
}

uint32_t FsProtectedFolders(char16_t* buffer, uint32_t capacity) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    if (g_state->protectedIncomplete) return FS_PROTECTED_INCOMPLETE;
    uint32_t out = 0;
    for (const std::u16string& folder : g_state->protectedFolders) {
        if (out + folder.size() + 2 > capacity) return FS_PROTECTED_INCOMPLETE;
        for (char16_t c : folder) buffer[out++] = c;
        buffer[out++] = 0;
    }
    if (out + 1 > capacity) return FS_PROTECTED_INCOMPLETE;
    buffer[out] = 0;
    return out;
}

bool FsSystemFolderPath(FsSystemFolder folder, char16_t* out, uint32_t capacity) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    auto found = g_state->systemFolders.find(folder);
    if (found == g_state->systemFolders.end() ||
        Text16CopyTruncated(out, capacity, found->second.c_str()) != found->second.size()) {
        if (capacity) out[0] = 0;
        t_lastError = FS_ERROR_PATH_NOT_FOUND;
        return false;
    }
    return true;
}

bool FsProcessElevated() {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    return g_state->elevated;
}

// Files here take what they hold, in whole 4 KiB clusters.
bool FsVolumeUsedBytes(const char16_t*, uint64_t* used) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    if (!g_state->usedBytes) {
        t_lastError = FS_ERROR_ACCESS_DENIED;
        return false;
    }
    *used = g_state->usedBytes;
    return true;
}

void FakeFsSetUsedBytes(uint64_t used) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    g_state->usedBytes = used;
}

bool FsFileSpace(const char16_t* path, uint64_t* bytes) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    Node* node = Resolve(path, false);
    NoteOpen(node);
    if (!node || (node->attributes & FS_ATTR_DIRECTORY)) {
        t_lastError = FS_ERROR_FILE_NOT_FOUND;
        return false;
    }
    *bytes = (node->size + 4095) / 4096 * 4096;
    return true;
}

int FsListDriverPackages(FsDriverPackage* out, int capacity) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    int count = 0;
    for (const auto& package : g_state->driverPackages) {
        if (count < capacity) out[count++] = package.first;
    }
    return count;
}

// As the system does: the package and its folder in the store go together.
bool FsRemoveDriverPackage(const char16_t* published) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    auto& packages = g_state->driverPackages;
    for (auto it = packages.begin(); it != packages.end(); ++it) {
        if (!SameName(it->first.published, published)) continue;
        if (it->second) {
            t_lastError = FS_ERROR_SHARING_VIOLATION;
            return false;
        }
        Node* folder = Resolve(it->first.storeFolder, false);
        if (folder && folder->parent) Unlink(folder);
        packages.erase(it);
        return true;
    }
    t_lastError = FS_ERROR_FILE_NOT_FOUND;
    return false;
}

bool FsExpandEnvironment(const char16_t* source, char16_t* dst, uint32_t capacity) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    return ExpandReferences(source, dst, capacity, LookupVariable, nullptr);
}

uint32_t FsLogicalDriveStrings(char16_t* buffer, uint32_t capacity) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    uint32_t out = 0;
    for (const auto& drive : g_state->drives) {
        if (out + drive.first.size() + 2 > capacity) return 0;
        for (char16_t c : drive.first) buffer[out++] = c;
        buffer[out++] = 0;
    }
    if (out + 1 > capacity) return 0;
    buffer[out] = 0;
    return out;
}

uint32_t FsDriveType(const char16_t* root) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    for (const auto& drive : g_state->drives) {
        if (SameName(drive.first, root)) return drive.second;
    }
    return 1;  // DRIVE_NO_ROOT_DIR
}

bool FsCurrentUserSid(char16_t* out, uint32_t capacity) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    if (!out || capacity == 0) return false;
    out[0] = 0;
    const std::u16string& sid = g_state->userSid;
    if (sid.empty() || sid.size() >= capacity) return false;
    std::copy(sid.begin(), sid.end(), out);
    out[sid.size()] = 0;
    return true;
}

int FakeFsRecalls() {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    return g_state->recalls;
}

void FakeFsSetUserSid(const char16_t* sid) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    g_state->userSid = sid ? sid : u"";
}

// As the system does: the caller's own bin on each drive, no one else's.
void FsEmptyRecycleBins() {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    g_state->recycleEmptyCalls++;
    for (const auto& drive : g_state->drives) {
        if (g_state->userSid.empty()) continue;
        std::u16string bin = drive.first + u"$Recycle.Bin\\" + g_state->userSid;
        if (Failing(FakeOp::DeleteFile, bin.c_str())) continue;  // a bin that will not empty
        Node* node = Resolve(bin.c_str(), false);
        if (node && (node->attributes & FS_ATTR_DIRECTORY) && !(node->attributes & FS_ATTR_REPARSE_POINT)) {
            node->children.clear();
            node->index.clear();
        }
    }
}
