#include "engine/guard.h"

#include "engine/paths.h"
#include "text/text16.h"

namespace {

// Some thirty protected folders share most of their ancestors: they stay
// far below this.
constexpr int kMaxIdentities = 512;

struct IdentitySet {
    FsIdentity items[kMaxIdentities];
    int count;
};

bool Add(IdentitySet* set, const FsIdentity& identity) {
    for (int i = 0; i < set->count; ++i) {
        if (FsSameIdentity(set->items[i], identity)) return true;
    }
    if (set->count == kMaxIdentities) return false;
    set->items[set->count++] = identity;
    return true;
}

bool IsMissing(uint32_t error) { return error == FS_ERROR_FILE_NOT_FOUND || error == FS_ERROR_PATH_NOT_FOUND; }

// The protected folder at its real place (every link resolved) and each of
// its ancestors up to the root: a location that is any of them is, or
// holds, the protected folder. A protected folder that does not exist holds
// nothing; any other failure makes the whole set unknown.
bool AddWithAncestors(IdentitySet* set, const char16_t* folder) {
    char16_t real[kPathUnits];
    FsIdentity identity;
    if (!FsResolveFolder(folder, real, kPathUnits, &identity)) return IsMissing(FsLastError());
    if (!Add(set, identity)) return false;
    NormalizePath(real);
    const size_t root = FsRootLength(real);
    if (root == 0) return false;
    for (size_t length = Text16Length(real); length > root;) {
        while (length > root && real[length - 1] != u'\\') --length;
        // "C:\a" for "C:\a\b"; the root keeps its separator.
        real[length > root ? length - 1 : length] = 0;
        if (length > root) --length;
        if (!FsResolveFolder(real, nullptr, 0, &identity) || !Add(set, identity)) return false;
    }
    return true;
}

// False when the set cannot be known in full: then no location is safe.
bool ProtectedIdentities(IdentitySet* set) {
    char16_t folders[kProtectedListUnits];
    set->count = 0;
    uint32_t length = FsProtectedFolders(folders, kProtectedListUnits);
    if (length == FS_PROTECTED_INCOMPLETE) return false;
    for (const char16_t* folder = folders; length && *folder; folder += Text16Length(folder) + 1) {
        if (!AddWithAncestors(set, folder)) return false;
    }
    return true;
}

// The profile folder the system registered, at its real place.
bool ProfileIdentity(FsIdentity* identity) {
    char16_t profile[kPathUnits];
    return FsSystemFolderPath(FS_FOLDER_PROFILE, profile, kPathUnits) &&
           FsResolveFolder(profile, nullptr, 0, identity);
}

}  // namespace

GuardState OpenGuardedFile(const char16_t* location, bool confined, HeldFolder* held, const char16_t** name,
                           FsEntry* entry, bool* found, uint32_t* error, LocationRefusal* reason) {
    *found = false;
    const size_t length = Text16Length(location);
    const size_t parentLength = ParentLength(location, length);
    if (parentLength == 0) {
        held->dir = nullptr;
        *error = 0;
        *reason = REFUSED_NOT_A_FILE;
        return GUARD_UNSAFE;
    }
    char16_t parent[kPathUnits];
    Text16CopyTruncated(parent, parentLength + 1, location);
    *name = location + parentLength + (location[parentLength] == u'\\' ? 1 : 0);
    GuardState state = OpenGuardedLocation(parent, false, confined, held, error, reason);
    if (state != GUARD_OK) return state;
    FsFind find = FsDirFindFirst(held->dir, *name, entry, true);
    if (find) {
        FsFindClose(find);
        *found = Text16Equal(entry->name, *name);
    }
    return GUARD_OK;
}

GuardState OpenGuardedLocation(const char16_t* location, bool forRemoval, bool confined, HeldFolder* held,
                               uint32_t* error, LocationRefusal* reason) {
    held->dir = nullptr;
    held->length = Text16Length(location);
    *error = 0;
    *reason = REFUSED_NONE;
    if (held->length + 2 >= static_cast<size_t>(kPathUnits)) {
        *error = FS_ERROR_FILENAME_EXCED_RANGE;
        return GUARD_FAILED;
    }
    FsIdentity profile;
    if (confined && !ProfileIdentity(&profile)) {
        *reason = REFUSED_PROFILE_UNKNOWN;
        return GUARD_UNSAFE;
    }
    bool insideProfile = false;
    FsDir dir = FsOpenDir(location, forRemoval, confined ? &profile : nullptr, &insideProfile);
    if (!dir) {
        *error = FsLastError();
        if (*error == FS_ERROR_STOPPED_ON_SYMLINK) return GUARD_LINK;
        return IsMissing(*error) ? GUARD_MISSING : GUARD_FAILED;
    }
    FsIdentity identity;
    IdentitySet set;
    if (confined && !insideProfile) {
        *reason = REFUSED_OUTSIDE_PROFILE;
    } else if (!FsDirIdentity(dir, &identity)) {
        *reason = REFUSED_IDENTITY_UNKNOWN;
    } else if (!ProtectedIdentities(&set)) {
        *reason = REFUSED_PROTECTED_IDS_UNKNOWN;
    } else {
        for (int i = 0; i < set.count && *reason == REFUSED_NONE; ++i) {
            if (FsSameIdentity(set.items[i], identity)) *reason = REFUSED_PROTECTED;
        }
    }
    if (*reason != REFUSED_NONE) {
        FsCloseDir(dir, false);
        return GUARD_UNSAFE;
    }
    held->dir = dir;
    return GUARD_OK;
}
