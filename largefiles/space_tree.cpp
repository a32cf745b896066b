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
    folders_[0].attached = true;
    names_.push_back(0);  // offset 0: the empty name
}

size_t SpaceTree::MemoryBytes() const {
    size_t bytes = folders_.capacity() * sizeof(SpaceFolder) + names_.capacity() * sizeof(char16_t) +
                   seen_.capacity() * sizeof(uint64_t);
    for (const SpaceFolder& folder : folders_) bytes += folder.kept.capacity() * sizeof(SpaceFile);
    return bytes;
}

uint32_t SpaceTree::NewFolder() {
    folders_.emplace_back();
    return static_cast<uint32_t>(folders_.size() - 1);
}

uint32_t SpaceTree::Intern(const char16_t* name, size_t length) {
    const uint32_t offset = static_cast<uint32_t>(names_.size());
    names_.insert(names_.end(), name, name + length);
    names_.push_back(0);
    return offset;
}

void SpaceTree::AttachFolder(uint32_t folder, uint32_t parent, const char16_t* name, size_t length, uint8_t flags) {
    if (folder == 0 || folder >= folders_.size() || parent >= folders_.size()) return;
    SpaceFolder& f = folders_[folder];
    if (f.attached) return;  // one place per folder: the first claim holds
    if (length > 0xFFFF) length = 0xFFFF;
    f.parent = parent;
    f.name = Intern(name, length);
    f.nameLength = static_cast<uint16_t>(length);
    f.flags |= flags;
    f.attached = true;
}

bool SpaceTree::FirstSight(uint64_t identity) {
    if ((seenCount_ + 1) * 2 > seen_.size()) {
        std::vector<uint64_t> grown(seen_.empty() ? 1024 : seen_.size() * 2, 0);
        for (uint64_t kept : seen_) {
            if (!kept) continue;
            size_t at = Mix(kept) & (grown.size() - 1);
            while (grown[at]) at = (at + 1) & (grown.size() - 1);
            grown[at] = kept;
        }
        seen_.swap(grown);
    }
    size_t at = Mix(identity) & (seen_.size() - 1);
    while (seen_[at]) {
        if (seen_[at] == identity) return false;
        at = (at + 1) & (seen_.size() - 1);
    }
    seen_[at] = identity;
    ++seenCount_;
    return true;
}

void SpaceTree::AddFile(uint32_t folder, const char16_t* name, size_t length, uint64_t size, uint64_t space,
                        uint64_t identity, uint32_t links, uint8_t flags) {
    if (folder >= folders_.size()) return;
    if (links != 1 && identity != 0 && !FirstSight(identity)) {
        ++extraNames_;
        return;
    }
    SpaceFolder& f = folders_[folder];
    auto rest = [&f](uint64_t bytes, uint64_t onDisk) {
        f.restSize += bytes;
        f.restSpace += onDisk;
        f.restFiles++;
        if (bytes >= kSpaceSmallFile) f.restLarge++;
    };
    if (size < kSpaceSmallFile) {
        rest(size, space);
        return;
    }
    if (f.kept.size() == kSpaceKeptFiles) {
        if (f.kept.front().size >= size) {
            rest(size, space);
            return;
        }
        // The smallest kept one goes to the rest; its name stays in the pool.
        std::pop_heap(f.kept.begin(), f.kept.end(), Smaller);
        rest(f.kept.back().size, f.kept.back().space);
        f.kept.pop_back();
    }
    if (length > 0xFFFF) length = 0xFFFF;
    f.kept.push_back(SpaceFile{size, space, Intern(name, length), static_cast<uint16_t>(length), flags});
    std::push_heap(f.kept.begin(), f.kept.end(), Smaller);
}

std::vector<uint32_t> SpaceTree::Children(uint32_t folder) const {
    std::vector<uint32_t> children;
    for (uint32_t child = folders_[folder].firstChild; child != kNoFolder; child = folders_[child].nextSibling)
        children.push_back(child);
    return children;
}

void SpaceTree::Finish() {
    for (SpaceFolder& f : folders_) f.firstChild = f.nextSibling = kNoFolder;
    for (uint32_t i = static_cast<uint32_t>(folders_.size()); i-- > 1;) {
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
        for (const SpaceFile& file : f.kept) {
            f.size += file.size;
            f.space += file.space;
            f.files++;
        }
        if (i == 0) continue;
        SpaceFolder& parent = folders_[f.parent];
        parent.size += f.size;
        parent.space += f.space;
        parent.files += f.files;
        parent.folders += f.folders + 1;
    }
}
