#include "largefiles/space_tree.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

namespace {

bool Smaller(const SpaceFile& a, const SpaceFile& b) { return a.size > b.size; }  // a min-heap by size

uint64_t Mix(uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdull;
    x ^= x >> 33;
    return x;
}

uint64_t HashExtension(const char16_t* ext, size_t length) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < length; ++i) h = (h ^ ext[i]) * 0x100000001b3ull;
    return Mix(h);
}

}  // namespace

bool SpaceExtensionOf(const char16_t* name, size_t length, char16_t* ext) {
    ext[0] = 0;
    size_t dot = length;
    for (size_t i = length; i-- > 0;)
        if (name[i] == u'.') {
            dot = i;
            break;
        }
    if (dot == length) return true;
    const size_t units = length - dot - 1;
    if (units > kSpaceExtensionUnits) return false;
    for (size_t i = 0; i < units; ++i) {
        const char16_t c = name[dot + 1 + i];
        ext[i] = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
    }
    ext[units] = 0;
    return true;
}

SpaceTree::SpaceTree() {
    folders_.emplace_back();
    folders_[0].attached = true;
    Intern(u"", 0);  // offset 0: the empty name
}

size_t SpaceTree::MemoryBytes() const {
    size_t bytes = folders_.bytes() + (names_.size() << kNameBlockBits) * sizeof(char16_t);
    for (const std::vector<uint64_t>& shard : seen_) bytes += shard.capacity() * sizeof(uint64_t);
    for (uint32_t i = 0; i < folders_.size(); ++i) bytes += folders_[i].kept.capacity() * sizeof(SpaceFile);
    return bytes + extensions_.capacity() * sizeof(ExtensionSlot);
}

uint32_t SpaceTree::NewFolder() {
    folders_.emplace_back();
    return folders_.size() - 1;
}

uint32_t SpaceTree::Intern(const char16_t* name, size_t length) {
    if (length > kNameBlockMask - 1) length = kNameBlockMask - 1;  // no file name is this long
    if (names_.empty() || nameUsed_ + length + 1 > kNameBlockMask + 1) {
        names_.emplace_back(new char16_t[kNameBlockMask + 1]);
        nameUsed_ = 0;
    }
    const uint32_t offset = static_cast<uint32_t>((names_.size() - 1) << kNameBlockBits) + nameUsed_;
    char16_t* at = names_.back().get() + nameUsed_;
    std::memcpy(at, name, length * sizeof(char16_t));
    at[length] = 0;
    nameUsed_ += static_cast<uint32_t>(length + 1);
    return offset;
}

void SpaceTree::AttachFolder(uint32_t folder, uint32_t parent, const char16_t* name, size_t length, uint8_t flags,
                             uint64_t id) {
    if (folder == 0 || folder >= folders_.size() || parent >= folders_.size()) return;
    SpaceFolder& f = folders_[folder];
    if (f.attached) return;  // one place per folder: the first claim holds
    if (length > kNameBlockMask - 1) length = kNameBlockMask - 1;
    f.parent = parent;
    f.name = Intern(name, length);
    f.nameLength = static_cast<uint16_t>(length);
    f.flags |= flags;
    f.attached = true;
    f.id = id;
}

bool SpaceTree::FirstSight(uint64_t identity) {
    // The top bits pick the table; the rest, scaled to the table's size,
    // the slot (so a table need not be a power of two).
    auto slot = [](uint64_t id, size_t size) {
        return static_cast<size_t>((static_cast<unsigned __int128>(Mix(id) << 6) * size) >> 64);
    };
    const int index = static_cast<int>(Mix(identity) >> 58);
    std::vector<uint64_t>& seen = seen_[index];
    if ((seenCount_[index] + 1) * 5 > seen.size() * 4) {
        std::vector<uint64_t> grown(seen.empty() ? 64 : seen.size() + seen.size() / 2, 0);
        for (uint64_t kept : seen) {
            if (!kept) continue;
            size_t at = slot(kept, grown.size());
            while (grown[at]) at = at + 1 == grown.size() ? 0 : at + 1;
            grown[at] = kept;
        }
        seen.swap(grown);
    }
    size_t at = slot(identity, seen.size());
    while (seen[at]) {
        if (seen[at] == identity) return false;
        at = at + 1 == seen.size() ? 0 : at + 1;
    }
    seen[at] = identity;
    ++seenCount_[index];
    return true;
}

void SpaceTree::AddFile(uint32_t folder, const char16_t* name, size_t length, uint64_t size, uint64_t space,
                        uint64_t identity, uint32_t links, uint8_t flags, uint64_t modified) {
    if (finished_ || folder >= folders_.size()) return;
    if (links != 1 && identity != 0 && !FirstSight(identity)) {
        ++extraNames_;
        return;
    }
    AddToExtension(name, length, size, space);
    SpaceFolder& f = folders_[folder];
    auto rest = [&f](uint64_t bytes, uint64_t onDisk, uint64_t written) {
        f.restSize += bytes;
        f.restSpace += onDisk;
        f.restFiles++;
        if (bytes >= kSpaceSmallFile) f.restLarge++;
        if (written > f.restModified) f.restModified = written;
    };
    if (size < kSpaceSmallFile) {
        rest(size, space, modified);
        return;
    }
    if (f.kept.size() == kSpaceKeptFiles) {
        if (f.kept.front().size >= size) {
            rest(size, space, modified);
            return;
        }
        // The smallest kept one goes to the rest; its name stays in the pool.
        std::pop_heap(f.kept.begin(), f.kept.end(), Smaller);
        rest(f.kept.back().size, f.kept.back().space, f.kept.back().modified);
        f.kept.pop_back();
    }
    if (length > kNameBlockMask - 1) length = kNameBlockMask - 1;
    f.kept.push_back(SpaceFile{size, space, identity, Intern(name, length), static_cast<uint16_t>(length), flags, modified});
    std::push_heap(f.kept.begin(), f.kept.end(), Smaller);
}

void SpaceTree::AddSummary(uint32_t folder, uint64_t size, uint64_t space, uint32_t files, uint32_t subfolders) {
    if (finished_ || folder >= folders_.size()) return;
    SpaceFolder& f = folders_[folder];
    f.restSize += size;
    f.restSpace += space;
    f.restFiles += files;
    f.folders += subfolders;
}

size_t SpaceTree::FindExtension(const char16_t* ext, size_t length) const {
    const size_t mask = extensions_.size() - 1;
    size_t at = static_cast<size_t>(HashExtension(ext, length)) & mask;
    while (extensions_[at].files != 0) {
        const ExtensionSlot& slot = extensions_[at];
        if (slot.length == length && std::memcmp(slot.ext, ext, length * sizeof(char16_t)) == 0) break;
        at = (at + 1) & mask;
    }
    return at;
}

void SpaceTree::AddToExtension(const char16_t* name, size_t length, uint64_t size, uint64_t space) {
    char16_t ext[kSpaceExtensionUnits + 1];
    ExtensionSlot* sum = &otherExtensions_;
    if (SpaceExtensionOf(name, length, ext)) {
        const size_t units = std::char_traits<char16_t>::length(ext);
        if (extensions_.empty()) extensions_.assign(64, ExtensionSlot{});
        size_t at = FindExtension(ext, units);
        if (extensions_[at].files != 0) {
            sum = &extensions_[at];
        } else if (extensionCount_ >= kSpaceMaxExtensions) {
            extensionsFull_ = true;
        } else {
            if ((extensionCount_ + 1) * 2 > extensions_.size()) {
                std::vector<ExtensionSlot> old(extensions_.size() * 2, ExtensionSlot{});
                old.swap(extensions_);
                for (const ExtensionSlot& slot : old)
                    if (slot.files) extensions_[FindExtension(slot.ext, slot.length)] = slot;
                at = FindExtension(ext, units);
            }
            std::memcpy(extensions_[at].ext, ext, units * sizeof(char16_t));
            extensions_[at].length = static_cast<uint16_t>(units);
            ++extensionCount_;
            sum = &extensions_[at];
        }
    }
    sum->files++;
    sum->size += size;
    sum->space += space;
}

void SpaceTree::TakeFromExtension(const char16_t* ext, bool tooLong, uint32_t files, uint64_t size,
                                  uint64_t space) {
    auto less = [](auto& value, auto amount) { value = value > amount ? value - amount : 0; };
    size_t at = extensions_.size();
    const size_t units = tooLong ? 0 : std::char_traits<char16_t>::length(ext);
    if (!tooLong && !extensions_.empty()) at = FindExtension(ext, units);
    if (at == extensions_.size() || extensions_[at].files == 0) {
        // No row: in 其他 if too long or met after the rows ran out, else
        // never counted (made after the analysis).
        if (!tooLong && !extensionsFull_) return;
        less(otherExtensions_.files, files);
        less(otherExtensions_.size, size);
        less(otherExtensions_.space, space);
        return;
    }
    ExtensionSlot& slot = extensions_[at];
    less(slot.files, files);
    less(slot.size, size);
    less(slot.space, space);
    if (slot.files) return;
    // Linear probing has no tombstones: each later slot of the run moves
    // back into the hole when its home is not between the hole and it.
    const size_t mask = extensions_.size() - 1;
    size_t hole = at;
    for (size_t next = (hole + 1) & mask; extensions_[next].files != 0; next = (next + 1) & mask) {
        const size_t home = static_cast<size_t>(HashExtension(extensions_[next].ext, extensions_[next].length)) & mask;
        if (((next - home) & mask) >= ((next - hole) & mask)) {
            extensions_[hole] = extensions_[next];
            hole = next;
        }
    }
    extensions_[hole] = ExtensionSlot{};
    --extensionCount_;
}

void SpaceTree::RemoveExtensionSums(const std::vector<SpaceExtensionSum>& deleted) {
    for (const SpaceExtensionSum& sum : deleted) TakeFromExtension(sum.ext, sum.other, sum.files, sum.size, sum.space);
}

void SpaceSumDeletedFile(std::vector<SpaceExtensionSum>* sums, const char16_t* name, size_t length, uint64_t size,
                         uint64_t space) {
    SpaceExtensionSum file = {};
    file.other = !SpaceExtensionOf(name, length, file.ext);
    // Kept in order (the 其他 row last) so that a folder of many files
    // finds its row by halving.
    auto before = [](const SpaceExtensionSum& a, const SpaceExtensionSum& b) {
        if (a.other != b.other) return b.other;
        return std::char_traits<char16_t>::compare(a.ext, b.ext, kSpaceExtensionUnits + 1) < 0;
    };
    auto at = std::lower_bound(sums->begin(), sums->end(), file, before);
    if (at == sums->end() || before(file, *at)) at = sums->insert(at, file);
    at->files++;
    at->size += size;
    at->space += space;
}

std::vector<SpaceExtensionSum> SpaceTree::ExtensionSums() const {
    std::vector<SpaceExtensionSum> sums;
    auto add = [&sums](const ExtensionSlot& slot, bool other) {
        SpaceExtensionSum sum = {};
        std::memcpy(sum.ext, slot.ext, slot.length * sizeof(char16_t));
        sum.ext[slot.length] = 0;
        sum.other = other;
        sum.files = slot.files;
        sum.size = slot.size;
        sum.space = slot.space;
        sums.push_back(sum);
    };
    for (const ExtensionSlot& slot : extensions_)
        if (slot.files) add(slot, false);
    if (otherExtensions_.files) add(otherExtensions_, true);
    return sums;
}

bool SpaceTree::ExtensionCounted(const char16_t* ext) const {
    if (extensions_.empty()) return false;
    return extensions_[FindExtension(ext, std::char_traits<char16_t>::length(ext))].files != 0;
}

std::vector<uint32_t> SpaceTree::Children(uint32_t folder) const {
    std::vector<uint32_t> children;
    for (uint32_t child = folders_[folder].firstChild; child != kNoFolder; child = folders_[child].nextSibling)
        children.push_back(child);
    return children;
}

void SpaceTree::Finish() {
    for (uint32_t i = 0; i < folders_.size(); ++i) {
        SpaceFolder& f = folders_[i];
        f.firstChild = f.nextSibling = kNoFolder;
    }
    finished_ = true;
    // Only AddFile asks whether a file was met under another name.
    for (int i = 0; i < kSeenShards; ++i) {
        std::vector<uint64_t>().swap(seen_[i]);
        seenCount_[i] = 0;
    }
    for (uint32_t i = folders_.size(); i-- > 1;) {
        SpaceFolder& f = folders_[i];
        if (!f.attached || f.parent == i) continue;
        f.nextSibling = folders_[f.parent].firstChild;
        folders_[f.parent].firstChild = i;
    }
    // Post-order from the root. Each folder has one parent, so the walk
    // down the child lists meets a folder once; a damaged volume's cycle
    // that never reaches the root is never met.
    std::vector<uint32_t> order;
    order.reserve(folders_.size());
    std::vector<uint32_t> stack = {0};
    while (!stack.empty()) {
        const uint32_t at = stack.back();
        stack.pop_back();
        order.push_back(at);
        for (uint32_t child = folders_[at].firstChild; child != kNoFolder; child = folders_[child].nextSibling)
            stack.push_back(child);
    }
    for (size_t i = order.size(); i-- > 0;) {
        SpaceFolder& f = folders_[order[i]];
        std::sort(f.kept.begin(), f.kept.end(), [](const SpaceFile& a, const SpaceFile& b) { return a.size > b.size; });
        f.size += f.restSize;
        f.space += f.restSpace;
        f.files += f.restFiles;
        f.modified = std::max(f.modified, f.restModified);
        for (const SpaceFile& file : f.kept) {
            f.size += file.size;
            f.space += file.space;
            f.files++;
            f.modified = std::max(f.modified, file.modified);
        }
        if (i == 0) continue;
        SpaceFolder& parent = folders_[f.parent];
        parent.size += f.size;
        parent.space += f.space;
        parent.files += f.files;
        parent.folders += f.folders + 1;
        parent.modified = std::max(parent.modified, f.modified);
    }
}

void SpaceTree::Subtract(uint32_t folder, uint64_t size, uint64_t space, uint32_t files, uint32_t folders) {
    auto less = [](auto& value, auto amount) { value = value > amount ? value - amount : 0; };
    // The chain from a reachable folder ends at the root, whose parent is kNoFolder.
    for (uint32_t at = folder; at != kNoFolder; at = at == 0 ? kNoFolder : folders_[at].parent) {
        SpaceFolder& f = folders_[at];
        less(f.size, size);
        less(f.space, space);
        less(f.files, files);
        less(f.folders, folders);
    }
}

void SpaceTree::RemoveFolder(uint32_t folder) {
    if (folder == 0 || folder >= folders_.size() || !folders_[folder].attached) return;
    SpaceFolder& f = folders_[folder];
    SpaceFolder& parent = folders_[f.parent];
    if (parent.firstChild == folder) {
        parent.firstChild = f.nextSibling;
    } else {
        uint32_t at = parent.firstChild;
        while (at != kNoFolder && folders_[at].nextSibling != folder) at = folders_[at].nextSibling;
        if (at == kNoFolder) return;  // not reachable: counted nowhere
        folders_[at].nextSibling = f.nextSibling;
    }
    Subtract(f.parent, f.size, f.space, f.files, f.folders + 1);
    f.nextSibling = kNoFolder;
    f.attached = false;
}

void SpaceTree::RemoveFile(uint32_t folder, uint32_t index) {
    if (folder >= folders_.size() || index >= folders_[folder].kept.size()) return;
    std::vector<SpaceFile>& kept = folders_[folder].kept;
    const SpaceFile file = kept[index];
    kept.erase(kept.begin() + index);
    Subtract(folder, file.size, file.space, 1, 0);
    char16_t ext[kSpaceExtensionUnits + 1];
    const bool fits = SpaceExtensionOf(Name(file.name), file.nameLength, ext);
    TakeFromExtension(ext, !fits, 1, file.size, file.space);
}

void SpaceTree::RemoveRestFile(uint32_t folder, const char16_t* name, uint64_t size, uint64_t space) {
    if (folder >= folders_.size() || folders_[folder].restFiles == 0) return;
    SpaceFolder& f = folders_[folder];
    // The disk's bytes now may differ from the scan's (a file grown since):
    // no more than the rest holds leaves it, and the folders above lose the
    // same, so that each still sums what it holds.
    if (size >= kSpaceSmallFile && f.restLarge) f.restLarge--;
    size = std::min(size, f.restSize);
    space = std::min(space, f.restSpace);
    f.restSize -= size;
    f.restSpace -= space;
    f.restFiles--;
    Subtract(folder, size, space, 1, 0);
    char16_t ext[kSpaceExtensionUnits + 1];
    const bool fits = SpaceExtensionOf(name, std::char_traits<char16_t>::length(name), ext);
    TakeFromExtension(ext, !fits, 1, size, space);
}

void SpaceTree::ShrinkFolder(uint32_t folder, uint64_t size, uint64_t space, uint32_t files, uint32_t large,
                             uint32_t folders) {
    if (folder >= folders_.size()) return;
    const SpaceFolder& f = folders_[folder];
    const Totals before = {f.size, f.space, f.files, f.folders};
    DetachContents(folder);
    SpaceFolder& shrunk = folders_[folder];
    shrunk.restSize = shrunk.size = size;
    shrunk.restSpace = shrunk.space = space;
    shrunk.restFiles = shrunk.files = files;
    shrunk.restLarge = large;
    shrunk.folders = folders;
    ChangeAbove(folder, before);
}

void SpaceTree::DetachContents(uint32_t folder) {
    SpaceFolder& f = folders_[folder];
    for (uint32_t child = f.firstChild; child != kNoFolder;) {
        const uint32_t next = folders_[child].nextSibling;
        folders_[child].attached = false;
        folders_[child].nextSibling = kNoFolder;
        child = next;
    }
    f.firstChild = kNoFolder;
    std::vector<SpaceFile>().swap(f.kept);
}

void SpaceTree::ReplaceContents(uint32_t folder, const SpaceTree& remains) {
    if (folder >= folders_.size() || !finished_ || !remains.finished_) return;
    const SpaceFolder& old = folders_[folder];
    const Totals before = {old.size, old.space, old.files, old.folders};
    DetachContents(folder);
    // Blocks never move a folder: references stay good while folders are made.
    std::vector<std::pair<uint32_t, uint32_t>> pending = {{0, folder}};  // (in remains, here)
    while (!pending.empty()) {
        const uint32_t from = pending.back().first, to = pending.back().second;
        pending.pop_back();
        const SpaceFolder& source = remains.Folder(from);
        SpaceFolder& target = folders_[to];
        target.size = source.size;
        target.space = source.space;
        target.files = source.files;
        target.folders = source.folders;
        target.restSize = source.restSize;
        target.restSpace = source.restSpace;
        target.restFiles = source.restFiles;
        target.restLarge = source.restLarge;
        target.restModified = source.restModified;
        target.modified = source.modified;
        target.kept = source.kept;
        for (SpaceFile& file : target.kept) file.name = Intern(remains.Name(file.name), file.nameLength);
        for (uint32_t child : remains.Children(from)) {
            const SpaceFolder& was = remains.Folder(child);
            const uint32_t made = NewFolder();
            SpaceFolder& m = folders_[made];
            m.parent = to;
            m.name = Intern(remains.Name(was.name), was.nameLength);
            m.nameLength = was.nameLength;
            m.flags = was.flags;
            m.id = was.id;
            m.attached = true;
            m.nextSibling = folders_[to].firstChild;
            folders_[to].firstChild = made;
            pending.push_back({child, made});
        }
    }
    ChangeAbove(folder, before);
}

void SpaceTree::ChangeAbove(uint32_t folder, const Totals& before) {
    // Files may have come meanwhile: the change goes either way, never below 0.
    const SpaceFolder& after = folders_[folder];
    auto change = [](auto& value, auto was, auto now) {
        if (now >= was) {
            value += now - was;
        } else {
            value = value > was - now ? value - (was - now) : 0;
        }
    };
    for (uint32_t at = folder == 0 ? kNoFolder : after.parent; at != kNoFolder; at = at == 0 ? kNoFolder : folders_[at].parent) {
        SpaceFolder& f = folders_[at];
        change(f.size, before.size, after.size);
        change(f.space, before.space, after.space);
        change(f.files, before.files, after.files);
        change(f.folders, before.folders, after.folders);
    }
}
