// What 导出 writes, as data: the rows of the space view (the list shown, or
// the tree down a number of levels) and of the large-file list, each with
// its full path, and the fields of a CSV row. The file itself, the save
// dialog and the local time are the window's.
#pragma once

#include "largefiles/scanner.h"
#include "largefiles/space_tree.h"
#include "uimodel/space_rows.h"

#include <cstdint>
#include <string>
#include <vector>

struct ExportRow {
    std::u16string path;  // full; a summary row's is its folder's path and the name the list shows
    uint64_t size, space;
    uint32_t files;
    bool counted;         // false: the bytes could not be read (a folder denied)
    bool hasFiles;        // false: no file count (the bytes not counted)
    uint64_t modified;    // FILETIME units; 0 when not known
};

// One row of the list showing folder (whose path is folderPath).
ExportRow SpaceExportRowOf(const SpaceTree& tree, uint32_t folder, const std::u16string& folderPath, const SpaceRow& row);

// The tree below folder down `levels` levels (1: folder's own rows; 0: no
// limit): each folder's rows largest first, a folder's row followed by the
// rows inside it. usedBytes adds the 未统计 row when folder is the root.
std::vector<ExportRow> SpaceExportTree(const SpaceTree& tree, uint32_t folder, const std::u16string& folderPath,
                                       int32_t levels, uint64_t usedBytes);

ExportRow LargeExportRowOf(const LargeFileEntry& entry);

// Writes a known last write time (FILETIME units) as the file shows it
// into out, kTimeTextUnits units (the window: local time, ISO 8601).
typedef void (*ExportTimeText)(uint64_t filetime, char16_t* out);

// The whole CSV file (text/csv.h): the byte-order mark, the header row
// 路径, 大小（字节）, 占用空间（字节）, 文件数, 修改时间, then one row each:
// bytes as plain integers, empty where not known.
std::string ExportCsv(const std::vector<ExportRow>& rows, ExportTimeText timeText);
