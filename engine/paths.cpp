#include "engine/paths.h"

#include "platform/expand.h"
#include "platform/fs.h"
#include "platform/fs_common.h"
#include "text/text16.h"

#include <cstring>

const char16_t* LocationRefusalKey(LocationRefusal reason) {
    switch (reason) {
    case REFUSED_NONE: return u"none";
    case REFUSED_NOT_ABSOLUTE: return u"not-absolute";
    case REFUSED_DRIVE_ROOT: return u"drive-or-share-root";
    case REFUSED_PROTECTED: return u"protected-folder-or-above";
    case REFUSED_PROTECTED_UNKNOWN: return u"protected-list-unreadable";
    case REFUSED_PROTECTED_IDS_UNKNOWN: return u"protected-identities-unreadable";
    case REFUSED_NOT_A_FILE: return u"not-a-file-location";
    case REFUSED_PROFILE_UNKNOWN: return u"profile-unknown";
    case REFUSED_OUTSIDE_PROFILE: return u"elevated: TEMP/TMP/APPDATA/LOCALAPPDATA outside the profile";
    case REFUSED_IDENTITY_UNKNOWN: return u"identity-unreadable";
    }
    return u"unknown";
}

bool JoinPath(char16_t* out, const char16_t* dir, const char16_t* name) {
    size_t dirLength = Text16Length(dir);
    size_t nameLength = Text16Length(name);
    if (dirLength + 1 + nameLength + 1 > static_cast<size_t>(kPathUnits)) {
        out[0] = 0;
        return false;
    }
    std::memcpy(out, dir, dirLength * sizeof(char16_t));
    out[dirLength] = u'\\';
    std::memcpy(out + dirLength + 1, name, (nameLength + 1) * sizeof(char16_t));
    return true;
}

bool MakeSearchPath(char16_t* out, const char16_t* dir) { return JoinPath(out, dir, u"*"); }

size_t ParentLength(const char16_t* path, size_t length) {
    size_t split = length;
    while (split > 0 && path[split - 1] != u'\\') --split;
    if (split < 2 || split == length) return 0;
    return split > FsRootLength(path) ? split - 1 : split;
}

namespace {

bool SameAsciiName(const char16_t* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char16_t x = (*a >= u'a' && *a <= u'z') ? static_cast<char16_t>(*a - 32) : *a;
        char y = (*b >= 'a' && *b <= 'z') ? static_cast<char>(*b - 32) : *b;
        if (x != static_cast<char16_t>(static_cast<unsigned char>(y))) return false;
    }
    return *a == 0 && *b == 0;
}

struct Expansion {
    char16_t value[kPathUnits];
    bool userChoice;
    bool failed;  // a system folder the system does not know
};

// The value of one variable from its source; null leaves "%NAME%" as
// written, as ExpandEnvironmentStringsW does for an unset one.
const char16_t* LookupVariable(const char16_t* name, void* context) {
    Expansion* expansion = static_cast<Expansion*>(context);
    char16_t* value = expansion->value;
    const VariableSource source = SourceOfVariable(name);
    switch (source) {
    case VAR_WINDOWS:
    case VAR_SYSTEM_DRIVE:
    case VAR_PROGRAM_DATA:
    case VAR_PROFILE: {
        const FsSystemFolder folder = source == VAR_PROGRAM_DATA ? FS_FOLDER_PROGRAM_DATA
                                      : source == VAR_PROFILE    ? FS_FOLDER_PROFILE
                                                                 : FS_FOLDER_WINDOWS;
        if (!FsSystemFolderPath(folder, value, kPathUnits)) {
            expansion->failed = true;
            return nullptr;
        }
        if (source == VAR_SYSTEM_DRIVE) {
            if (value[0] == 0 || value[1] != u':') {
                expansion->failed = true;
                return nullptr;
            }
            value[2] = 0;
        }
        return value;
    }
    case VAR_USER_CHOICE:
    case VAR_ENVIRONMENT:
        break;
    }
    // The environment through the system's own expansion of "%NAME%" alone.
    char16_t reference[kPathUnits];
    size_t length = Text16Length(name);
    if (length + 3 > static_cast<size_t>(kPathUnits)) return nullptr;
    reference[0] = u'%';
    std::memcpy(reference + 1, name, length * sizeof(char16_t));
    reference[length + 1] = u'%';
    reference[length + 2] = 0;
    if (!FsExpandEnvironment(reference, value, kPathUnits)) {
        expansion->failed = true;  // set, but too long for any location
        return nullptr;
    }
    if (Text16Equal(value, reference)) return nullptr;
    if (source == VAR_USER_CHOICE) expansion->userChoice = true;
    return value;
}

}  // namespace

VariableSource SourceOfVariable(const char16_t* name) {
    if (SameAsciiName(name, "WINDIR") || SameAsciiName(name, "SYSTEMROOT")) return VAR_WINDOWS;
    if (SameAsciiName(name, "SYSTEMDRIVE")) return VAR_SYSTEM_DRIVE;
    if (SameAsciiName(name, "PROGRAMDATA")) return VAR_PROGRAM_DATA;
    if (SameAsciiName(name, "USERPROFILE")) return VAR_PROFILE;
    if (SameAsciiName(name, "LOCALAPPDATA") || SameAsciiName(name, "APPDATA") || SameAsciiName(name, "TEMP") ||
        SameAsciiName(name, "TMP"))
        return VAR_USER_CHOICE;
    return VAR_ENVIRONMENT;
}

bool ExpandLocation(const char16_t* path, char16_t* out, bool* userChoice) {
    if (userChoice) *userChoice = false;
    if (!path) {
        out[0] = 0;
        return false;
    }
    Expansion expansion;
    expansion.value[0] = 0;
    expansion.userChoice = false;
    expansion.failed = false;
    if (!ExpandReferences(path, out, kPathUnits, LookupVariable, &expansion) || expansion.failed) {
        out[0] = 0;
        return false;
    }
    if (userChoice) *userChoice = expansion.userChoice;
    return true;
}

namespace {

// a names b or one of b's ancestors (both normalised), by the system's rule
// for names.
bool IsSameOrAncestor(const char16_t* a, const char16_t* b) {
    size_t length = Text16Length(a);
    if (Text16Length(b) < length || !FsNamesEqual(a, b, static_cast<uint32_t>(length))) return false;
    return b[length] == 0 || b[length] == u'\\' || (length > 0 && a[length - 1] == u'\\');
}

}  // namespace

void NormalizePath(char16_t* path) {
    for (char16_t* p = path; *p; ++p) {
        if (*p == u'/') *p = u'\\';
    }
    // Names that ignore case mean Windows path syntax.
    const bool trimDots = FsNamesIgnoreCase();
    if (trimDots) WindowsPlainForm(path);
    const size_t root = FsRootLength(path);
    size_t out = root;
    size_t in = root;
    while (path[in]) {
        while (path[in] == u'\\') ++in;
        size_t begin = in;
        while (path[in] && path[in] != u'\\') ++in;
        size_t end = in;
        if (trimDots) {
            bool dotsOnly = true;
            for (size_t i = begin; i < end; ++i) dotsOnly = dotsOnly && path[i] == u'.';
            if (!dotsOnly || end - begin > 2) {
                while (end > begin && (path[end - 1] == u'.' || path[end - 1] == u' ')) --end;
            }
        }
        size_t length = end - begin;
        if (length == 0 || (length == 1 && path[begin] == u'.')) continue;
        if (length == 2 && path[begin] == u'.' && path[begin + 1] == u'.') {
            while (out > root && path[out - 1] != u'\\') --out;
            if (out > root) --out;
            continue;
        }
        if (out > 0 && path[out - 1] != u'\\') path[out++] = u'\\';
        for (size_t i = begin; i < end; ++i) path[out++] = path[i];
    }
    // A root keeps its separator; nothing else ends with one.
    if (out > root && path[out - 1] == u'\\') --out;
    path[out] = 0;
}

LocationState PrepareLocation(const char16_t* path, char16_t* out, LocationRefusal* reason, bool* confined) {
    LocationRefusal why = REFUSED_NONE;
    bool userChoice = false;
    if (confined) *confined = false;
    if (!ExpandLocation(path, out, &userChoice)) return LOCATION_UNEXPANDED;
    if (confined) *confined = userChoice && FsProcessElevated();
    NormalizePath(out);
    uint32_t root = FsRootLength(out);
    if (root == 0) {
        why = REFUSED_NOT_ABSOLUTE;
    } else if (out[root] == 0) {
        why = REFUSED_DRIVE_ROOT;
    } else {
        char16_t folders[kProtectedListUnits];
        uint32_t length = FsProtectedFolders(folders, kProtectedListUnits);
        if (length == FS_PROTECTED_INCOMPLETE) {
            why = REFUSED_PROTECTED_UNKNOWN;
        } else {
            for (char16_t* folder = folders; length && *folder; folder += Text16Length(folder) + 1) {
                char16_t normal[kPathUnits];
                if (Text16CopyTruncated(normal, kPathUnits, folder) != Text16Length(folder)) continue;
                NormalizePath(normal);
                if (IsSameOrAncestor(out, normal)) {
                    why = REFUSED_PROTECTED;
                    break;
                }
            }
        }
    }
    if (reason) *reason = why;
    return why != REFUSED_NONE ? LOCATION_UNSAFE : LOCATION_OK;
}
