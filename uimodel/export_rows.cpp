#include "uimodel/export_rows.h"

#include "text/csv.h"
#include "text/format.h"
#include "text/time_text.h"

namespace {

constexpr int kExportColumns = 5;

std::u16string Joined(const std::u16string& folder, const char16_t* name) {
    std::u16string path = folder;
    if (path.empty() || path.back() != u'\\') path += u'\\';
    return path + name;
}

std::u16string Number(uint64_t value) {
    char16_t text[24];
    FormatText(text, 24, u"%llu", static_cast<unsigned long long>(value));
    return text;
}

// Depth first without recursion: a tree from the MFT has no depth limit.
void AddFolderRows(const SpaceTree& tree, uint32_t folder, const std::u16string& folderPath, int32_t levels,
                   uint64_t usedBytes, std::vector<ExportRow>* out) {
    struct Frame {
        uint32_t folder;
        std::u16string path;
        int32_t levels;  // 0: no limit
        std::vector<SpaceRow> rows;
        size_t next;
    };
    std::vector<Frame> stack;
    stack.push_back(Frame{folder, folderPath, levels, SpaceRowsOf(tree, folder, usedBytes), 0});
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.rows.size()) {
            stack.pop_back();
            continue;
        }
        const SpaceRow row = top.rows[top.next++];
        out->push_back(SpaceExportRowOf(tree, top.folder, top.path, row));
        // A link is never entered, as in the list.
        if (row.kind != SPACE_ROW_FOLDER || (row.flags & SPACE_LINK) || top.levels == 1) continue;
        const int32_t below = top.levels > 1 ? top.levels - 1 : 0;
        stack.push_back(Frame{row.folder, out->back().path, below, SpaceRowsOf(tree, row.folder, 0), 0});
    }
}

}  // namespace

ExportRow SpaceExportRowOf(const SpaceTree& tree, uint32_t folder, const std::u16string& folderPath, const SpaceRow& row) {
    char16_t name[260];
    SpaceRowName(tree, folder, row, name);
    const bool counted = !(row.flags & SPACE_DENIED);
    return ExportRow{Joined(folderPath, name), row.size, row.space, row.files, counted,
                     counted && row.kind != SPACE_ROW_UNCOUNTED, row.modified};
}

std::vector<ExportRow> SpaceExportTree(const SpaceTree& tree, uint32_t folder, const std::u16string& folderPath,
                                       int32_t levels, uint64_t usedBytes) {
    std::vector<ExportRow> rows;
    AddFolderRows(tree, folder, folderPath, levels, folder == 0 ? usedBytes : 0, &rows);
    return rows;
}

ExportRow LargeExportRowOf(const LargeFileEntry& entry) {
    return ExportRow{entry.path, entry.size, entry.space, 1, true, true, entry.modified};
}

std::string ExportCsv(const std::vector<ExportRow>& rows, ExportTimeText timeText) {
    std::string bytes(kCsvByteOrderMark);
    std::u16string fields[kExportColumns] = {u"路径", u"大小（字节）", u"占用空间（字节）", u"文件数", u"修改时间"};
    CsvAppendRow(&bytes, fields, kExportColumns);
    for (const ExportRow& row : rows) {
        char16_t time[kTimeTextUnits] = {};
        if (row.modified) timeText(row.modified, time);
        fields[0] = row.path;
        fields[1] = row.counted ? Number(row.size) : std::u16string();
        fields[2] = row.counted ? Number(row.space) : std::u16string();
        fields[3] = row.hasFiles ? Number(row.files) : std::u16string();
        fields[4] = time;
        CsvAppendRow(&bytes, fields, kExportColumns);
    }
    return bytes;
}
