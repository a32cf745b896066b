#include "engine/paths.h"

#include "platform/fs.h"
#include "text/text16.h"

#include <cstring>

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

bool ExpandLocation(const char16_t* path, char16_t* out) {
    if (!path) {
        out[0] = 0;
        return false;
    }
    return FsExpandEnvironment(path, out, kPathUnits);
}

namespace {

char16_t FoldCase(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

// a names b or one of b's ancestors (both normalised).
bool IsSameOrAncestor(const char16_t* a, const char16_t* b, bool ignoreCase) {
    size_t i = 0;
    for (; a[i]; ++i) {
        char16_t x = ignoreCase ? FoldCase(a[i]) : a[i];
        char16_t y = ignoreCase ? FoldCase(b[i]) : b[i];
        if (x != y) return false;
    }
    return b[i] == 0 || b[i] == u'\\' || (i > 0 && a[i - 1] == u'\\');
}

}  // namespace

void NormalizePath(char16_t* path) {
    for (char16_t* p = path; *p; ++p) {
        if (*p == u'/') *p = u'\\';
    }
    const bool trimDots = FsNamesIgnoreCase();
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

LocationState PrepareLocation(const char16_t* path, char16_t* out, const char16_t** reason) {
    const char16_t* why = nullptr;
    if (!ExpandLocation(path, out)) return LOCATION_UNEXPANDED;
    NormalizePath(out);
    uint32_t root = FsRootLength(out);
    if (root == 0) {
        why = u"不是绝对路径";
    } else if (out[root] == 0) {
        why = u"是磁盘或共享的根目录";
    } else {
        static const uint32_t kCapacity = 8 * kPathUnits;
        char16_t folders[kCapacity];
        uint32_t length = FsProtectedFolders(folders, kCapacity);
        for (char16_t* folder = folders; length && *folder; folder += Text16Length(folder) + 1) {
            char16_t normal[kPathUnits];
            if (Text16CopyTruncated(normal, kPathUnits, folder) != Text16Length(folder)) continue;
            NormalizePath(normal);
            if (IsSameOrAncestor(out, normal, FsNamesIgnoreCase())) {
                why = u"是受保护的系统或用户文件夹（或其上级）";
                break;
            }
        }
    }
    if (reason) *reason = why;
    return why ? LOCATION_UNSAFE : LOCATION_OK;
}

bool RelativePathCrossesLink(const char16_t* dir, const char16_t* relative, bool includeLast) {
    char16_t path[kPathUnits];
    if (Text16CopyTruncated(path, kPathUnits, dir) != Text16Length(dir)) return false;
    size_t length = Text16Length(path);
    const char16_t* component = relative;
    while (*component) {
        const char16_t* end = component;
        while (*end && *end != u'\\') ++end;
        size_t componentLength = static_cast<size_t>(end - component);
        if (length + 1 + componentLength + 1 > static_cast<size_t>(kPathUnits)) return false;
        path[length++] = u'\\';
        std::memcpy(path + length, component, componentLength * sizeof(char16_t));
        length += componentLength;
        path[length] = 0;
        if (!*end && !includeLast) return false;
        uint32_t attributes = FsGetAttributes(path);
        if (attributes == FS_INVALID_ATTRIBUTES) return false;  // nothing further exists
        if (attributes & FS_ATTR_REPARSE_POINT) return true;
        component = *end ? end + 1 : end;
    }
    return false;
}
