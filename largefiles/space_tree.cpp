#include "largefiles/space_tree.h"

#include <algorithm>
#include <cstring>

namespace {

bool Smaller(const SpaceFile& a, const SpaceFile& b) { return a.size > b.size; }  // a min-heap by size

uint64_t Mix(uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdull;
    x ^= x >> 33;
    return x;
}

}  // namespace

SpaceTree::SpaceTree() {
    folders_.emplace_back();
    rest_.emplace_back();
    folders_[0].attached = true;
    Intern(u"", 0);  // offset 0: the empty name
}

size_t SpaceTree::MemoryBytes() const {
    size_t bytes = folders_.bytes() + rest_.bytes() + (names_.size() << kNameBlockBits) * sizeof(char16_t);
    for (const std::vector<uint64_t>& shard : seen_) bytes += shard.capacity() * sizeof(uint64_t);
    for (uint32_t i = 0; i < folders_.size(); ++i) bytes += folders_[i].kept.capacity() * sizeof(SpaceFile);
    return bytes;
}

uint32_t SpaceTree::NewFolder() {
    folders_.emplace_back();
    rest_.emplace_back();
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

void SpaceTree::AttachFolder(uint32_t folder, uint32_t parent, const char16_t* name, size_t length, uint8_t flags) {
    if (folder == 0 || folder >= folders_.size() || parent >= folders_.size()) return;
    SpaceFolder& f = folders_[folder];
    if (f.attached) return;  // one place per folder: the first claim holds
    if (length > kNameBlockMask - 1) length = kNameBlockMask - 1;
    f.parent = parent;
    f.name = Intern(name, length);
    f.nameLength = static_cast<uint16_t>(length);
    f.flags |= flags;
    f.attached = true;
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
    if (folder >= rest_.size()) return;  // no folder, or the tree is finished
    if (links != 1 && identity != 0 && !FirstSight(identity)) {
        ++extraNames_;
        return;
    }
    Rest& r = rest_[folder];
    auto rest = [&r](uint64_t bytes, uint64_t onDisk, uint64_t written) {
        r.size += bytes;
        r.space += onDisk;
        r.files++;
        if (bytes >= kSpaceSmallFile) r.large++;
        if (written > r.modified) r.modified = written;
    };
    if (size < kSpaceSmallFile) {
        rest(size, space, modified);
        return;
    }
    SpaceFolder& f = folders_[folder];
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
    f.kept.push_back(SpaceFile{size, space, Intern(name, length), static_cast<uint16_t>(length), flags, modified});
    std::push_heap(f.kept.begin(), f.kept.end(), Smaller);
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
        const Rest& r = rest_[i];
        f.restSize = r.size;
        f.restSpace = r.space;
        f.restFiles = r.files;
        f.restLarge = r.large;
        f.restModified = r.modified;
    }
    rest_.clear();
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
