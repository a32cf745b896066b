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
