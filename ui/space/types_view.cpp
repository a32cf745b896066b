// The 文件类型 view: the whole tree's files by extension (count, 大小,
// 占用空间, 占比) with the kind's treemap colour as a swatch. It stands in
// the space list's place while the 文件类型 button is down; selecting a row
// outlines that extension's files among the boxes the treemap draws.
#include "ui/space/space_private.h"

#include "largefiles/space_tree.h"
#include "text/format.h"
#include "text/text16.h"
#include "ui/shell/ids.h"
#include "ui/shell/shell.h"
#include "uimodel/space_rows.h"

#include <vector>

namespace {

// Main thread only: the rows listed (row i is list item i) and their sizes together.
std::vector<SpaceExtensionSum> g_typeRows;
uint64_t g_nTypesTotal = 0;
SpaceTypeColumn g_nTypesSortColumn = TYPE_COL_SIZE;
bool g_bTypesSortAscending = false;

HWND TypesList() { return SpaceControl(IDC_LIST_SPACE_TYPES); }

void SetCell(int row, int column, const char16_t* text) {
    LVITEMW cell = {};
    cell.iSubItem = column;
    cell.pszText = const_cast<wchar_t*>(WideText(text));
    SendMessageW(TypesList(), LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
}

void FillTypes() {
    HWND list = TypesList();
    if (!list) return;
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    g_nTypesTotal = 0;
    for (const SpaceExtensionSum& row : g_typeRows) g_nTypesTotal += row.size;
    for (size_t i = 0; i < g_typeRows.size(); ++i) {
        const SpaceExtensionSum& row = g_typeRows[i];
        char16_t text[kSizeTextUnits + 8];
        SpaceTypeName(row, text, kSizeTextUnits + 8);
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = WideText(text);
        item.lParam = static_cast<LPARAM>(i);
        const int at = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (at < 0) continue;
        SetCell(at, 1, row.other ? u"其他" : FileKindName(FileKindOfExtension(row.ext)));
        FormatCount(row.files, text, kSizeTextUnits);
        SetCell(at, 2, text);
        FormatSize(row.size, text);
        SetCell(at, 3, text);
        FormatSize(row.space, text);
        SetCell(at, 4, text);
        const int32_t share = SpaceShare(row.size, g_nTypesTotal);
        FormatText(text, kSizeTextUnits, u"%d.%d%%", share / 10, share % 10);
        SetCell(at, 5, text);
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    ShowListSortArrow(list, g_nTypesSortColumn, g_bTypesSortAscending);
}

// The 类型 cell: the kind's colour as a swatch before its name.
LRESULT DrawTypeRow(NMLVCUSTOMDRAW* draw) {
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        const int row = static_cast<int>(draw->nmcd.dwItemSpec);
        if (draw->iSubItem != 1 || row < 0 || row >= static_cast<int>(g_typeRows.size())) return CDRF_DODEFAULT;
        HDC dc = draw->nmcd.hdc;
        RECT cell;
        bool strong;
        if (!PaintListCellBack(TypesList(), dc, row, 1, &cell, &strong)) return CDRF_DODEFAULT;
        const FileKind kind = g_typeRows[row].other ? KIND_OTHER : FileKindOfExtension(g_typeRows[row].ext);
        const uint32_t rgb = FileKindColour(kind);
        const int side = ScaleByDpi(10);
        RECT swatch = {cell.left + ScaleByDpi(5), (cell.top + cell.bottom - side) / 2, 0, 0};
        swatch.right = swatch.left + side;
        swatch.bottom = swatch.top + side;
        HBRUSH fill = CreateSolidBrush(RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
        FillRect(dc, &swatch, fill);
        DeleteObject(fill);
        RECT text = cell;
        text.left = swatch.right + ScaleByDpi(5);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, strong ? GetSysColor(COLOR_HIGHLIGHTTEXT) : RGB(0, 0, 0));
        DrawTextW(dc, WideText(FileKindName(kind)), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
        return CDRF_SKIPDEFAULT;
    }
    default: return CDRF_DODEFAULT;
    }
}

int32_t SelectedType() {
    HWND list = TypesList();
    if (!list || !IsWindowVisible(list)) return -1;
    return static_cast<int32_t>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

// The row picked in the list, shown or not: kept across a new fill.
bool PickedRow(SpaceExtensionSum* picked) {
    HWND list = TypesList();
    const int32_t row = list ? static_cast<int32_t>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) : -1;
    if (row < 0 || row >= static_cast<int32_t>(g_typeRows.size())) return false;
    *picked = g_typeRows[row];
    return true;
}

// Fills the list again and picks the row of the same extension, if it is still there.
void FillTypesKeeping(bool kept, const SpaceExtensionSum& picked) {
    FillTypes();
    for (size_t i = 0; kept && i < g_typeRows.size(); ++i) {
        if (g_typeRows[i].other != picked.other || !Text16Equal(g_typeRows[i].ext, picked.ext)) continue;
        LVITEMW state = {};
        state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(TypesList(), LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&state));
        SendMessageW(TypesList(), LVM_ENSUREVISIBLE, i, FALSE);
        break;
    }
}

}  // namespace

LRESULT OnSpaceTypesCommand() {
    ApplySpaceTypesShown();
    RedrawSpaceTreemap();
    return 0;
}

void RefreshSpaceTypes() {
    uint32_t folder = 0;
    const SpaceTree* tree = SpaceTreeShown(&folder);
    // A deletion lowers the sums: the row picked stays picked (and its
    // files outlined) while its extension has files left.
    SpaceExtensionSum picked;
    const bool kept = tree && PickedRow(&picked);
    g_typeRows = tree ? SpaceTypeRows(*tree) : std::vector<SpaceExtensionSum>();
    SortSpaceTypeRows(&g_typeRows, g_nTypesSortColumn, g_bTypesSortAscending);
    FillTypesKeeping(kept, picked);
    RedrawSpaceTreemap();
}

LRESULT OnSpaceTypesNotify(NMHDR* header) {
    switch (header->code) {
    case NM_CUSTOMDRAW: return DrawTypeRow(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    case LVN_ITEMCHANGED: RedrawSpaceTreemap(); return 0;
    case LVN_COLUMNCLICK: {
        // As the folder list: the same column again turns the order round;
        // a new one starts with names A to Z and numbers largest first.
        const auto column = static_cast<SpaceTypeColumn>(reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
        g_bTypesSortAscending = column == g_nTypesSortColumn ? !g_bTypesSortAscending
                                                             : column == TYPE_COL_NAME || column == TYPE_COL_KIND;
        g_nTypesSortColumn = column;
        SpaceExtensionSum picked;
        const bool kept = PickedRow(&picked);
        SortSpaceTypeRows(&g_typeRows, g_nTypesSortColumn, g_bTypesSortAscending);
        FillTypesKeeping(kept, picked);
        RedrawSpaceTreemap();
        return 0;
    }
    default: return 0;
    }
}

bool SpaceTypeChosen(SpaceExtensionSum* chosen) {
    const int32_t row = SelectedType();
    if (row < 0 || row >= static_cast<int32_t>(g_typeRows.size())) return false;
    *chosen = g_typeRows[row];
    return true;
}
