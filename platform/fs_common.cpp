#include "platform/fs.h"
#include "platform/fs_common.h"

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// "\\server\share" (or "\\?\UNC\server\share"): the root runs to the separator
// after the share name, or to the end. 0 when either name is missing.
uint32_t ShareRootLength(const char16_t* path, uint32_t start) {
    uint32_t i = start;
    uint32_t names = 0;
    while (names < 2) {
        uint32_t begin = i;
        while (path[i] && !IsSeparator(path[i])) ++i;
        if (i == begin) return 0;
        ++names;
        if (names < 2) {
            if (!path[i]) return 0;
            ++i;
        }
    }
    return path[i] ? i + 1 : i;
}

}  // namespace

bool FsIsLink(uint32_t attributes, uint32_t reparseTag) {
    if (!(attributes & FS_ATTR_REPARSE_POINT)) return false;
    if (reparseTag == 0 || (reparseTag & FS_REPARSE_TAG_NAME_SURROGATE)) return true;
    // Data kept in place: the file is what its entry says it is.
    if ((reparseTag & 0xFFFF0FFFu) == FS_REPARSE_TAG_CLOUD) return false;
    switch (reparseTag) {
    case FS_REPARSE_TAG_WOF:
    case FS_REPARSE_TAG_DEDUP:
    case 0xC0000004u:  // HSM
    case 0x80000006u:  // HSM2
    case 0x80000007u:  // SIS
    case 0x80000008u:  // WIM
        return false;
    default:
        return true;
    }
}

uint32_t WindowsRootLength(const char16_t* path) {
    if (!path || !path[0]) return 0;
    if (IsSeparator(path[0]) && IsSeparator(path[1])) {
        // "\\?\" and "\\.\" name a device path: a drive or "UNC\server\share".
        if ((path[2] == u'?' || path[2] == u'.') && IsSeparator(path[3])) {
            const char16_t* rest = path + 4;
            if (IsDriveLetter(rest[0]) && rest[1] == u':' && IsSeparator(rest[2])) return 7;
            if ((rest[0] == u'U' || rest[0] == u'u') && (rest[1] == u'N' || rest[1] == u'n') &&
                (rest[2] == u'C' || rest[2] == u'c') && IsSeparator(rest[3]))
                return ShareRootLength(path, 8);
            return 0;
        }
        return ShareRootLength(path, 2);
    }
    if (IsDriveLetter(path[0]) && path[1] == u':' && IsSeparator(path[2])) return 3;
    return 0;
}

size_t WindowsLongForm(const char16_t* path, char16_t* out, size_t capacity) {
    if (!out || capacity == 0) return 0;
    out[0] = 0;
    if (!path) return 0;
    size_t written = 0;
    auto put = [&](char16_t c) {
        if (written + 1 >= capacity) return false;
        out[written++] = c;
        return true;
    };
    auto putText = [&](const char16_t* text) {
        for (; *text; ++text) {
            if (!put(*text)) return false;
        }
        return true;
    };
    const bool device = IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == u'?' || path[2] == u'.') &&
                        IsSeparator(path[3]);
    const bool drive = IsDriveLetter(path[0]) && path[1] == u':' && IsSeparator(path[2]);
    const bool share = !device && IsSeparator(path[0]) && IsSeparator(path[1]);
    bool ok = true;
    size_t from = 0;
    if (drive) {
        ok = putText(u"\\\\?\\");
    } else if (share) {
        ok = putText(u"\\\\?\\UNC");
        from = 1;  // one of the share's two leading separators follows "UNC"
    }
    const bool clean = drive || share;
    for (size_t i = from; ok && path[i]; ++i) {
        char16_t c = path[i];
        if (clean && c == u'/') c = u'\\';
        // After the prefix, a separator that follows one is Win32's to drop.
        if (clean && c == u'\\' && i > from && written > 0 && out[written - 1] == u'\\') continue;
        ok = put(c);
    }
    if (!ok) {
        out[0] = 0;
        return 0;
    }
    out[written] = 0;
    return written;
}

void WindowsPlainForm(char16_t* path) {
    if (!path || !IsSeparator(path[0]) || !IsSeparator(path[1]) || (path[2] != u'?' && path[2] != u'.') ||
        !IsSeparator(path[3]))
        return;
    char16_t* rest = path + 4;
    size_t from = 0;
    size_t keep = 0;
    if (IsDriveLetter(rest[0]) && rest[1] == u':' && (rest[2] == 0 || IsSeparator(rest[2]))) {
        from = 4;
    } else if ((rest[0] == u'U' || rest[0] == u'u') && (rest[1] == u'N' || rest[1] == u'n') &&
               (rest[2] == u'C' || rest[2] == u'c') && IsSeparator(rest[3])) {
        from = 8;
        keep = 2;
    } else {
        return;
    }
    size_t length = from;
    while (path[length]) ++length;
    for (size_t i = from; i <= length; ++i) path[keep + i - from] = path[i];
}
