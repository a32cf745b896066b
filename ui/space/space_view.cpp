// The space view's list: one folder of the tree at a time, its rows sorted,
// the share drawn as a bar, and 打开 and 删除 on a row (what a deletion
// asks and does is space_delete.cpp's).
#include "ui/space/space_private.h"

#include "largefiles/space_tree.h"
#include "platform/fs.h"
#include "platform/system_win32.h"
#include "text/format.h"
#include "text/text16.h"
#include "text/time_text.h"
#include "ui/shell/app_state.h"
#include "ui/shell/export_file.h"
#include "ui/shell/ids.h"
#include "ui/shell/shell.h"
#include "uimodel/export_rows.h"
#include "uimodel/page_phase.h"
#include "uimodel/space_rows.h"

#include <new>
#include <string>
#include <vector>

namespace {

// Main thread only: the rows of the folder shown (the tree and the folder
// shown in it are space_state.cpp's).
std::vector<SpaceRow> g_spaceRows;
uint64_t g_nSpaceRowsTotal = 0;  // the rows' sizes together: 占比's whole, kept off the paint path
SpaceColumn g_nSpaceSortColumn = SPACE_COL_SIZE;
bool g_bSpaceSortAscending = false;

uint32_t g_nRowsGeneration = 0;  // counts the fills of g_spaceRows

HWND List() { return SpaceControl(IDC_LIST_SPACE); }

uint32_t FolderShown() {
    uint32_t folder = 0;
    SpaceTreeShown(&folder);
    return folder;
}

// The folder's path in the tree from the drive's root ("C:\Windows\System32").
std::u16string FolderPath(const SpaceTree& tree, uint32_t folder) {
    std::vector<uint32_t> chain;
    for (uint32_t at = folder; at != 0 && at != kNoFolder; at = tree.Folder(at).parent) chain.push_back(at);
    std::u16string path(g_szSystemDrive);
    for (size_t i = chain.size(); i-- > 0;) {
        if (path.back() != u'\\') path += u'\\';
        path += tree.Name(tree.Folder(chain[i]).name);
    }
    return path;
}

// The list went to the files view: the tree's rows are dropped.
void DropRows() {
    g_spaceRows.clear();
    ++g_nRowsGeneration;
    RedrawSpaceTreemap();
}

// The files summed in a folder's summary row, one by one in the rows' place;
// a scan's snapshot has no files to list again: only a finished tree.
void ShowFiles() {
    if (SpaceCurrentPhase() == SCAN_IDLE && ShowSpaceFiles()) DropRows();
}


void SetCell(int row, int column, const char16_t* text) {
    LVITEMW cell = {};
    cell.iSubItem = column;
    cell.pszText = const_cast<wchar_t*>(WideText(text));
    SendMessageW(List(), LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
}


// Fills the list from g_spaceRows (row i is list item i) and selects row `select`.
void FillSpaceList(int32_t select) {
    uint32_t folder = 0;
    const SpaceTree* tree = SpaceTreeShown(&folder);
    if (!List() || !tree) return;
    SendMessageW(List(), WM_SETREDRAW, FALSE, 0);
    SendMessageW(List(), LVM_DELETEALLITEMS, 0, 0);
    g_nSpaceRowsTotal = 0;
    for (const SpaceRow& row : g_spaceRows) g_nSpaceRowsTotal += row.size;
    const uint64_t total = g_nSpaceRowsTotal;
    for (size_t i = 0; i < g_spaceRows.size(); ++i) {
        const SpaceRow& row = g_spaceRows[i];
        char16_t name[260];
        SpaceRowName(*tree, folder, row, name);
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = WideText(name);
        item.lParam = static_cast<LPARAM>(i);
        const int at = static_cast<int>(SendMessageW(List(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (at < 0) continue;
        char16_t text[kSizeTextUnits];
        if (row.flags & SPACE_DENIED) {
            SetCell(at, 1, u"无法读取");
            SetCell(at, 2, u"无法读取");
        } else {
            FormatSize(row.size, text);
            SetCell(at, 1, text);
            FormatSize(row.space, text);
            SetCell(at, 2, text);
        }
        const int32_t share = SpaceShare(row.size, total);
        FormatText(text, kSizeTextUnits, u"%d.%d%%", share / 10, share % 10);
        SetCell(at, 3, text);
        if (row.kind != SPACE_ROW_UNCOUNTED && !(row.flags & SPACE_DENIED)) {
            FormatCount(row.files, text, kSizeTextUnits);
            SetCell(at, 4, text);
        }
        char16_t when[kTimeTextUnits];
        FormatModifiedTime(row.modified, when);
        if (when[0]) SetCell(at, 5, when);
    }
    SelectListRow(List(), select, static_cast<int32_t>(g_spaceRows.size()));
    SendMessageW(List(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(List(), nullptr, TRUE);
    ShowListSortArrow(List(), g_nSpaceSortColumn, g_bSpaceSortAscending);
    if (HWND path = SpaceControl(IDC_STATIC_SPACE_PATH)) SetWindowTextW(path, WideText(FolderPath(*tree, folder).c_str()));
    ApplySpaceEnabled();
    // The treemap lays the new rows out when it next paints.
    ++g_nRowsGeneration;
    RedrawSpaceTreemap();
}

// Shows folder, selecting the row of `selectFolder` when it is listed.
void ShowFolder(uint32_t folder, uint32_t selectFolder) {
    LeaveSpaceFiles();
    const SpaceTree* tree = SpaceTreeShown(nullptr);
    if (!tree) return;
    StoreSpaceFolder(folder);
    g_spaceRows = SpaceRowsOf(*tree, folder, folder == 0 ? SpaceUsedBytes() : 0);
    SortSpaceRows(*tree, folder, &g_spaceRows, g_nSpaceSortColumn, g_bSpaceSortAscending);
    int32_t select = g_spaceRows.empty() ? -1 : 0;
    for (size_t i = 0; i < g_spaceRows.size(); ++i)
        if (g_spaceRows[i].kind == SPACE_ROW_FOLDER && g_spaceRows[i].folder == selectFolder) select = static_cast<int32_t>(i);
    FillSpaceList(select);
}

// The 占比 cell: the percent at the left in a slot as wide as "100.0%" in
// the list's font, the bar in the rest; the bar never lies under the text.
LRESULT DrawSpaceRow(NMLVCUSTOMDRAW* draw) {
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        if (draw->iSubItem != 3) return CDRF_DODEFAULT;
        const int row = static_cast<int>(draw->nmcd.dwItemSpec);
        if (row < 0 || row >= static_cast<int>(g_spaceRows.size())) return CDRF_DODEFAULT;
        HDC dc = draw->nmcd.hdc;
        RECT cell;
        bool strong;
        if (!PaintListCellBack(List(), dc, row, 3, &cell, &strong)) return CDRF_DODEFAULT;
        wchar_t text[32];
        LVITEMW item = {};
        item.iSubItem = 3;
        item.pszText = text;
        item.cchTextMax = 32;
        SendMessageW(List(), LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        // The list's font is selected into the cell's DC, so the slot
        // scales with the DPI as the text does.
        SIZE widest = {0, 0};
        GetTextExtentPoint32W(dc, L"100.0%", 6, &widest);
        const int pad = ScaleByDpi(6), gap = ScaleByDpi(6);
        RECT textBox = cell;
        textBox.left += pad;
        textBox.right = textBox.left + widest.cx;
        if (textBox.right > cell.right) textBox.right = cell.right;
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, strong ? GetSysColor(COLOR_HIGHLIGHTTEXT) : RGB(0, 0, 0));
        DrawTextW(dc, text, -1, &textBox, DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
        const int32_t share = SpaceShare(g_spaceRows[row].size, g_nSpaceRowsTotal);
        RECT bar = {textBox.right + gap, cell.top + ScaleByDpi(3), 0, cell.bottom - ScaleByDpi(3)};
        const int room = cell.right - ScaleByDpi(3) - bar.left;
        bar.right = bar.left + (room > 0 ? room * share / 1000 : 0);
        if (bar.right > bar.left) {
            HBRUSH fill = CreateSolidBrush(RGB(150, 190, 240));
            FillRect(dc, &bar, fill);
            DeleteObject(fill);
        }
        return CDRF_SKIPDEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

// Explorer at the row, selected: a folder or file as listed, reached from
// the root without passing a link; for the summary rows, the folder shown.
void OpenRow(int32_t index) {
    uint32_t shown = 0;
    const SpaceTree* tree = SpaceTreeShown(&shown);
    if (!tree) return;
    std::u16string folder = FolderPath(*tree, shown);
    std::u16string name;
    if (index >= 0 && index < static_cast<int32_t>(g_spaceRows.size())) {
        const SpaceRow& row = g_spaceRows[index];
        if (row.kind == SPACE_ROW_FOLDER) name = tree->Name(tree->Folder(row.folder).name);
        if (row.kind == SPACE_ROW_FILE) name = tree->Name(tree->Folder(shown).kept[row.file].name);
    }
    if (name.empty() && shown != 0) {
        // The shown folder itself, selected in the folder that holds it.
        const size_t cut = folder.find_last_of(u'\\');
        name = folder.substr(cut + 1);
        folder = folder.substr(0, cut);
        if (folder.size() == 2) folder += u'\\';
    }
    bool there = false;
    if (FsDir held = FsOpenDir(folder.c_str(), false)) {
        FsEntry entry;
        if (name.empty()) {
            there = true;
        } else if (FsFind find = FsDirFindFirst(held, name.c_str(), &entry, false)) {
            there = Text16Equal(entry.name, name.c_str()) && !(entry.attributes & FS_ATTR_REPARSE_POINT);
            FsFindClose(find);
        }
        FsCloseDir(held, false);
    }
    if (!there) {
        MessageBoxW(g_hMainWnd, L"该项目已不在原处，请重新分析。", L"提示", MB_OK | MB_ICONWARNING);
        return;
    }
    std::u16string path = folder;
    if (!name.empty()) path += (path.back() == u'\\' ? u"" : u"\\") + name;
    if (!OpenFolderSelecting(WideText(path.c_str())))
        MessageBoxW(g_hMainWnd, L"资源管理器无法显示该项目。", L"提示", MB_OK | MB_ICONWARNING);
}

}  // namespace

uint32_t SpaceRowsGeneration() { return g_nRowsGeneration; }

void ShowSpaceFolderAgain(int32_t select) {
    ShowFolder(FolderShown(), kNoFolder);
    const int32_t last = static_cast<int32_t>(g_spaceRows.size()) - 1;
    SelectSpaceRow(select < last ? select : last);
}

uint64_t TakeSpaceTree(SpaceTree* tree, uint64_t used) {
    if (SpaceFilesShown()) LeaveSpaceFiles();  // listed from the tree replaced
    StoreSpaceTree(tree, used);
    ShowFolder(0, kNoFolder);
    RefreshSpaceTypes();
    return tree->Folder(0).size;
}

LRESULT OnSpaceListNotify(NMHDR* header) {
    switch (header->code) {
    case NM_CUSTOMDRAW:
        return DrawSpaceRow(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    case NM_DBLCLK:
        ShowSpaceRow(reinterpret_cast<const NMITEMACTIVATE*>(header)->iItem);
        return 0;
    case NM_RETURN:
        ShowSpaceRow(SpaceSelectedRow());
        return 0;
    case LVN_KEYDOWN:
        if (reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey == VK_BACK) OnSpaceUpCommand();
        return 0;
    case LVN_ITEMCHANGED:
        RedrawSpaceTreemap();
        return 0;
    case LVN_COLUMNCLICK: {
        const SpaceColumn column = static_cast<SpaceColumn>(reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
        // The same column again turns the order round; a new one starts
        // with names A to Z and numbers largest first.
        g_bSpaceSortAscending = column == g_nSpaceSortColumn ? !g_bSpaceSortAscending : column == SPACE_COL_NAME;
        g_nSpaceSortColumn = column;
        if (SpaceFilesShown()) {
            SortSpaceFiles(column, g_bSpaceSortAscending);
            return 0;
        }
        uint32_t folder = 0;
        const SpaceTree* tree = SpaceTreeShown(&folder);
        if (!tree) {
            ShowListSortArrow(List(), g_nSpaceSortColumn, g_bSpaceSortAscending);
            return 0;
        }
        const int32_t selected = SpaceSelectedRow();
        const uint32_t keep = selected >= 0 && g_spaceRows[selected].kind == SPACE_ROW_FOLDER ? g_spaceRows[selected].folder : kNoFolder;
        SortSpaceRows(*tree, folder, &g_spaceRows, g_nSpaceSortColumn, g_bSpaceSortAscending);
        int32_t select = 0;
        for (size_t i = 0; i < g_spaceRows.size(); ++i)
            if (keep != kNoFolder && g_spaceRows[i].folder == keep && g_spaceRows[i].kind == SPACE_ROW_FOLDER)
                select = static_cast<int32_t>(i);
        FillSpaceList(g_spaceRows.empty() ? -1 : select);
        return 0;
    }
    default:
        return 0;
    }
}

LRESULT OnSpaceUpCommand() {
    uint32_t from = 0;
    const SpaceTree* tree = SpaceTreeShown(&from);
    if (SpaceFilesShown()) {
        ShowFolder(from, kNoFolder);
        return 0;
    }
    if (!tree || from == 0) return 0;
    ShowFolder(tree->Folder(from).parent, from);
    return 0;
}

LRESULT OnSpaceOpenCommand() {
    const int32_t row = SpaceSelectedRow();
    if (SpaceFilesShown()) {
        OpenSpaceListedFile(row);
    } else if (row >= 0 && row < static_cast<int32_t>(g_spaceRows.size()) && g_spaceRows[row].kind == SPACE_ROW_REST) {
        ShowFiles();
    } else {
        OpenRow(row);
    }
    return 0;
}

LRESULT OnSpaceDeleteCommand() {
    // A tree that an analysis ending under the question would replace.
    if (SpaceCurrentPhase() != SCAN_IDLE || SpaceDeleting()) return 0;
    const int32_t index = SpaceSelectedRow();
    if (SpaceFilesShown()) {
        DeleteSpaceListedFile(index);
        return 0;
    }
    if (index < 0 || index >= static_cast<int32_t>(g_spaceRows.size())) return 0;
    const SpaceRow row = g_spaceRows[index];
    if (DeleteSpaceRow(row, index)) ShowSpaceFolderAgain(index);
    return 0;
}

LRESULT OnSpaceExportCommand() {
    HWND button = SpaceControl(IDC_BTN_SPACE_EXPORT);
    uint32_t shown = 0;
    const SpaceTree* tree = SpaceTreeShown(&shown);
    if (!tree || !button) return 0;
    enum { kExportList = 1, kExportThreeLevels = 2, kExportWhole = 3 };
    HMENU menu = CreatePopupMenu();
    if (!menu) return 0;
    AppendMenuW(menu, MF_STRING, kExportList, L"当前列表");
    AppendMenuW(menu, MF_STRING, kExportThreeLevels, L"目录树（3 层）");
    AppendMenuW(menu, MF_STRING, kExportWhole, L"目录树（全部）");
    RECT r;
    GetWindowRect(button, &r);
    const int chosen = static_cast<int>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_TOPALIGN, r.left, r.bottom, 0, g_hMainWnd, nullptr));
    DestroyMenu(menu);
    if (!chosen) return 0;
    std::vector<ExportRow> rows;
    try {
        if (chosen == kExportList) {
            const std::u16string folder = FolderPath(*tree, shown);
            for (const SpaceRow& row : g_spaceRows) rows.push_back(SpaceExportRowOf(*tree, shown, folder, row));
        } else {
            // The tree from the drive's root, whatever folder is shown.
            rows = SpaceExportTree(*tree, 0, FolderPath(*tree, 0), chosen == kExportThreeLevels ? 3 : 0, SpaceUsedBytes());
        }
    } catch (const std::bad_alloc&) {
        MessageBoxW(g_hMainWnd, L"内存不足，无法导出。", L"导出失败", MB_OK | MB_ICONERROR);
        return 0;
    }
    if (ExportRowsAsCsv(g_hMainWnd, L"空间分析.csv", rows)) {
        char16_t text[96];
        FormatText(text, 96, u"已导出 %d 行", static_cast<int32_t>(rows.size()));
        SetPageStatus(PAGE_SPACE, text);
    }
    return 0;
}

const SpaceRow* SpaceRowsShown(int32_t* count) {
    *count = static_cast<int32_t>(g_spaceRows.size());
    return g_spaceRows.data();
}

int32_t SpaceSelectedRow() {
    if (!List()) return -1;
    return static_cast<int32_t>(SendMessageW(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void SelectSpaceRow(int32_t row) { SelectListRow(List(), row, static_cast<int32_t>(g_spaceRows.size())); }

void ShowSpaceRow(int32_t row) {
    if (!SpaceTreeShown(nullptr) || row < 0 || row >= static_cast<int32_t>(g_spaceRows.size())) return;
    const SpaceRow& shown = g_spaceRows[row];
    if (shown.kind == SPACE_ROW_REST) {
        ShowFiles();
        return;
    }
    // A link is never entered; a folder that could not be read has nothing to show.
    if (shown.kind != SPACE_ROW_FOLDER || (shown.flags & (SPACE_LINK | SPACE_DENIED))) return;
    ShowFolder(shown.folder, kNoFolder);
}

void ShowSpaceFolder(uint32_t folder) {
    const SpaceTree* tree = SpaceTreeShown(nullptr);
    if (!tree || folder >= tree->FolderCount()) return;
    if (tree->Folder(folder).flags & (SPACE_LINK | SPACE_DENIED)) return;
    ShowFolder(folder, kNoFolder);
}
