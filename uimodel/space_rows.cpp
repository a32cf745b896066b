#include "uimodel/space_rows.h"

#include "text/format.h"
#include "text/text16.h"

#include <algorithm>
#include <string>

namespace {

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool LessIgnoringCase(const char16_t* a, const char16_t* b) {
    while (*a && Lower(*a) == Lower(*b)) ++a, ++b;
    return Lower(*a) < Lower(*b);
}

}  // namespace

std::vector<SpaceRow> SpaceRowsOf(const SpaceTree& tree, uint32_t folder, uint64_t usedBytes) {
    std::vector<SpaceRow> rows;
    if (folder >= tree.FolderCount()) return rows;
    const SpaceFolder& shown = tree.Folder(folder);
    for (uint32_t child : tree.Children(folder)) {
        const SpaceFolder& f = tree.Folder(child);
        rows.push_back(SpaceRow{SPACE_ROW_FOLDER, f.flags, child, 0, f.size, f.space, f.files, false, f.modified});
    }
    for (uint32_t i = 0; i < shown.kept.size(); ++i) {
        const SpaceFile& file = shown.kept[i];
        rows.push_back(
            SpaceRow{SPACE_ROW_FILE, file.flags, kNoFolder, i, file.size, file.space, 1, false, file.modified});
    }
    if (shown.restFiles)
        rows.push_back(SpaceRow{SPACE_ROW_REST, 0, kNoFolder, 0, shown.restSize, shown.restSpace, shown.restFiles,
                                shown.restLarge != 0, shown.restModified});
    if (folder == 0 && usedBytes > shown.space) {
        const uint64_t unseen = usedBytes - shown.space;
        rows.push_back(SpaceRow{SPACE_ROW_UNCOUNTED, 0, kNoFolder, 0, unseen, unseen, 0, false, 0});
    }
    SortSpaceRows(tree, folder, &rows, SPACE_COL_SIZE, false);
    return rows;
}

void SortSpaceRows(const SpaceTree& tree, uint32_t folder, std::vector<SpaceRow>* rows, SpaceColumn column,
                   bool ascending) {
    auto key = [column](const SpaceRow& row) -> uint64_t {
        switch (column) {
        case SPACE_COL_SPACE: return row.space;
        case SPACE_COL_FILES: return row.files;
        case SPACE_COL_MODIFIED: return row.modified;
        default: return row.size;
        }
    };
    std::stable_sort(rows->begin(), rows->end(), [&](const SpaceRow& a, const SpaceRow& b) {
        if (column == SPACE_COL_NAME) {
            char16_t x[260], y[260];
            SpaceRowName(tree, folder, a, x);
            SpaceRowName(tree, folder, b, y);
            return ascending ? LessIgnoringCase(x, y) : LessIgnoringCase(y, x);
        }
        return ascending ? key(a) < key(b) : key(a) > key(b);
    });
}

void SpaceRowName(const SpaceTree& tree, uint32_t folder, const SpaceRow& row, char16_t* out) {
    out[0] = 0;
    switch (row.kind) {
    case SPACE_ROW_FOLDER:
        Text16CopyTruncated(out, 260, tree.Name(tree.Folder(row.folder).name));
        break;
    case SPACE_ROW_FILE:
        Text16CopyTruncated(out, 260, tree.Name(tree.Folder(folder).kept[row.file].name));
        break;
    case SPACE_ROW_REST:
        FormatText(out, 260, row.restHasLarge ? u"（其余 %d 个文件）" : u"（%d 个小文件）", static_cast<int32_t>(row.files));
        break;
    case SPACE_ROW_UNCOUNTED:
        Text16CopyTruncated(out, 260, u"（未统计）");
        break;
    }
}

int32_t SpaceShare(uint64_t part, uint64_t total) {
    if (total == 0) return 0;
    if (part >= total) return 1000;
    return static_cast<int32_t>(static_cast<unsigned __int128>(part) * 1000 / total);
}

namespace {

const struct {
    const char16_t* name;
    uint32_t colour;
} kKindLooks[KIND_COUNT] = {
    {u"图片", 0x27AE60}, {u"视频", 0x8E44AD}, {u"音频", 0xF1C40F}, {u"文档", 0xE84393},
    {u"压缩包", 0xE67E22}, {u"程序", 0xC0392B}, {u"其他", 0x7F8C8D},
};

const struct {
    const char16_t* ext;
    FileKind kind;
} kKinds[] = {
    {u"jpg", KIND_IMAGE},     {u"jpeg", KIND_IMAGE},    {u"png", KIND_IMAGE},     {u"gif", KIND_IMAGE},
    {u"bmp", KIND_IMAGE},     {u"webp", KIND_IMAGE},    {u"heic", KIND_IMAGE},    {u"tif", KIND_IMAGE},
    {u"tiff", KIND_IMAGE},    {u"psd", KIND_IMAGE},     {u"raw", KIND_IMAGE},     {u"ico", KIND_IMAGE},
    {u"svg", KIND_IMAGE},     {u"mp4", KIND_VIDEO},     {u"mkv", KIND_VIDEO},     {u"avi", KIND_VIDEO},
    {u"mov", KIND_VIDEO},     {u"wmv", KIND_VIDEO},     {u"flv", KIND_VIDEO},     {u"ts", KIND_VIDEO},
    {u"m4v", KIND_VIDEO},     {u"webm", KIND_VIDEO},    {u"rmvb", KIND_VIDEO},    {u"mpg", KIND_VIDEO},
    {u"mp3", KIND_AUDIO},     {u"wav", KIND_AUDIO},     {u"flac", KIND_AUDIO},    {u"aac", KIND_AUDIO},
    {u"ogg", KIND_AUDIO},     {u"wma", KIND_AUDIO},     {u"m4a", KIND_AUDIO},     {u"ape", KIND_AUDIO},
    {u"txt", KIND_DOCUMENT},  {u"pdf", KIND_DOCUMENT},  {u"doc", KIND_DOCUMENT},  {u"docx", KIND_DOCUMENT},
    {u"xls", KIND_DOCUMENT},  {u"xlsx", KIND_DOCUMENT}, {u"ppt", KIND_DOCUMENT},  {u"pptx", KIND_DOCUMENT},
    {u"md", KIND_DOCUMENT},   {u"rtf", KIND_DOCUMENT},  {u"csv", KIND_DOCUMENT},  {u"epub", KIND_DOCUMENT},
    {u"zip", KIND_ARCHIVE},   {u"rar", KIND_ARCHIVE},   {u"7z", KIND_ARCHIVE},    {u"gz", KIND_ARCHIVE},
    {u"tar", KIND_ARCHIVE},   {u"iso", KIND_ARCHIVE},   {u"cab", KIND_ARCHIVE},   {u"xz", KIND_ARCHIVE},
    {u"bz2", KIND_ARCHIVE},   {u"exe", KIND_PROGRAM},   {u"dll", KIND_PROGRAM},   {u"sys", KIND_PROGRAM},
    {u"msi", KIND_PROGRAM},   {u"msp", KIND_PROGRAM},   {u"ocx", KIND_PROGRAM},   {u"so", KIND_PROGRAM},
};

}  // namespace

FileKind FileKindOfExtension(const char16_t* ext) {
    for (const auto& k : kKinds)
        if (Text16Equal(ext, k.ext)) return k.kind;
    return KIND_OTHER;
}

FileKind FileKindOf(const char16_t* name) {
    char16_t ext[kSpaceExtensionUnits + 1];
    if (!SpaceExtensionOf(name, std::char_traits<char16_t>::length(name), ext)) return KIND_OTHER;
    return FileKindOfExtension(ext);
}

const char16_t* FileKindName(FileKind kind) { return kKindLooks[kind < KIND_COUNT ? kind : KIND_OTHER].name; }

uint32_t FileKindColour(FileKind kind) { return kKindLooks[kind < KIND_COUNT ? kind : KIND_OTHER].colour; }

std::vector<SpaceExtensionSum> SpaceTypeRows(const SpaceTree& tree) {
    std::vector<SpaceExtensionSum> rows = tree.ExtensionSums();
    SortSpaceTypeRows(&rows, TYPE_COL_SIZE, false);
    return rows;
}

void SortSpaceTypeRows(std::vector<SpaceExtensionSum>* rows, SpaceTypeColumn column, bool ascending) {
    auto key = [column](const SpaceExtensionSum& row) -> uint64_t {
        switch (column) {
        case TYPE_COL_KIND: return FileKindOfExtension(row.ext);
        case TYPE_COL_FILES: return row.files;
        case TYPE_COL_SPACE: return row.space;
        default: return row.size;
        }
    };
    std::stable_sort(rows->begin(), rows->end(), [&](const SpaceExtensionSum& a, const SpaceExtensionSum& b) {
        if (a.other != b.other) return b.other;
        if (column == TYPE_COL_NAME) {
            const int order = std::char_traits<char16_t>::compare(a.ext, b.ext, kSpaceExtensionUnits + 1);
            return ascending ? order < 0 : order > 0;
        }
        return ascending ? key(a) < key(b) : key(a) > key(b);
    });
}

void SpaceTypeName(const SpaceExtensionSum& sum, char16_t* out, int capacity) {
    if (sum.other)
        Text16CopyTruncated(out, capacity, u"其他");
    else if (!sum.ext[0])
        Text16CopyTruncated(out, capacity, u"（无扩展名）");
    else
        FormatText(out, capacity, u".%s", sum.ext);
}

void SpaceFolderPath(const SpaceTree& tree, uint32_t folder, const char16_t* root, char16_t* out, int capacity) {
    std::vector<uint32_t> chain;
    for (uint32_t at = folder; at != 0 && at < tree.FolderCount(); at = tree.Folder(at).parent) chain.push_back(at);
    std::u16string path(root);
    for (size_t i = chain.size(); i-- > 0;) {
        if (!path.empty() && path.back() != u'\\') path += u'\\';
        path += tree.Name(tree.Folder(chain[i]).name);
    }
    Text16CopyTruncated(out, capacity, path.c_str());
}
