#include "engine/paths.h"

#include "platform/fs.h"
#include "platform/text16.h"

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
