// The cleanup list view: the catalogue as a two-level tree with drawn
// expanders and tick boxes, and the coloured cleaning log.
#include "ui/main_window.h"

#include "engine/batch.h"
#include "engine/catalogue.h"
#include "engine/clean.h"
#include "text/format.h"
#include "text/text16.h"
#include "ui/app_state.h"
#include "ui/ids.h"
#include "uimodel/clean_question.h"
#include "uimodel/cleanup_rows.h"
#include "uimodel/layout_calc.h"

#include <string>
#include <vector>

int32_t g_bListShowsLog = 0;
int32_t g_bGroupExpanded[32] = {1, 1, 1, 1, 1};

namespace {

void SetSizeText(int row, uint64_t bytes) {
    char16_t text[kSizeTextUnits];
    FormatSize(bytes, text);
    LVITEMW item = {};
    item.iSubItem = 1;
    item.pszText = WideText(text);
    SendMessageW(g_hListClean, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

int InsertRow(const wchar_t* text, int32_t tag) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(SendMessageW(g_hListClean, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<wchar_t*>(text);
    item.lParam = static_cast<LPARAM>(tag);  // sign-extended
    return static_cast<int>(SendMessageW(g_hListClean, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void ResetColumns(int wanted) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(g_hListClean, LVM_GETHEADER, 0, 0));
    if (header && SendMessageW(header, HDM_GETITEMCOUNT, 0, 0) == wanted) return;
    while (SendMessageW(g_hListClean, LVM_DELETECOLUMN, 0, 0)) {
    }
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    if (wanted == 1) {
        column.cx = 2000;
        column.pszText = const_cast<wchar_t*>(L"清理日志");
        SendMessageW(g_hListClean, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    } else {
        // The widths the layout gives for the window's current size and DPI.
        RECT client = {0, 0, 0, 0};
        GetClientRect(GetParent(g_hListClean), &client);
        MainLayout layout = ComputeMainLayout(client.right, client.bottom, g_nDpi);
        column.cx = layout.cleanColumn0;
        column.pszText = const_cast<wchar_t*>(L"项目");
        SendMessageW(g_hListClean, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
        column.cx = layout.cleanColumn1;
        column.pszText = const_cast<wchar_t*>(L"大小");
        SendMessageW(g_hListClean, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
    }
    SendMessageW(g_hListClean, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
}

void Line(HDC dc, int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

// Draws text into at most `room` pixels, cutting it with "..." when it is
// wider and the room is above s(20).
void DrawName(HDC dc, int x, int y, const wchar_t* name, int room) {
    int length = lstrlenW(name);
    SIZE extent;
    if (GetTextExtentPoint32W(dc, name, length, &extent) && extent.cx > room && room > ScaleByDpi(20)) {
        SIZE dots;
        if (GetTextExtentPoint32W(dc, L"...", 3, &dots)) room -= dots.cx;
        for (int n = length - 1; n >= 1; --n) {
            SIZE prefix;
            if (GetTextExtentPoint32W(dc, name, n, &prefix) && prefix.cx <= room) {
                wchar_t cut[260];
                lstrcpynW(cut, name, n + 1);
                lstrcatW(cut, L"...");
                TextOutW(dc, x, y, cut, n + 3);
                return;
            }
        }
        return;
    }
    TextOutW(dc, x, y, name, length);
}

// One catalogue row's drawing, step by step. The row's parts lie where
// CleanupRowGeometryAt puts them, as the click's hit-test finds them.
struct RowCanvas {
    HDC dc;
    RECT rc;
    int row;
    int col0Right;
    int boxTop;
    CleanupRowGeometry geometry;
};

void FillRowBackground(const RowCanvas& c) {
    bool highlighted = SendMessageW(g_hListClean, LVM_GETITEMSTATE, static_cast<WPARAM>(c.row), LVIS_SELECTED) & LVIS_SELECTED;
    HBRUSH background = CreateSolidBrush(highlighted ? RGB(205, 232, 255) : RGB(255, 255, 255));
    if (background) {
        RECT rc = c.rc;
        FillRect(c.dc, &rc, background);
        DeleteObject(background);
    }
}

// A message line (a deleted large file) while the catalogue shows: its text
// rather than an empty tick box.
void DrawMessageRow(const RowCanvas& c) {
    wchar_t text[256] = L"";
    LVITEMW item = {};
    item.pszText = text;
    item.cchTextMax = 256;
    SendMessageW(g_hListClean, LVM_GETITEMTEXTW, static_cast<WPARAM>(c.row), reinterpret_cast<LPARAM>(&item));
    TextOutW(c.dc, c.rc.left + ScaleByDpi(6), c.boxTop, text, lstrlenW(text));
}

// A group's expander: a box with a minus, or a plus when it is collapsed.
void DrawExpander(const RowCanvas& c, int group, HPEN pen) {
    const int box = c.geometry.box;
    const bool expanded = group <= 31 && g_bGroupExpanded[group];
    const int ex = c.rc.left + c.geometry.expanderLeft;
    HGDIOBJ old = SelectObject(c.dc, pen);
    Rectangle(c.dc, ex, c.boxTop, ex + box, c.boxTop + box);
    Line(c.dc, ex + ScaleByDpi(4), c.boxTop + box / 2, ex + box - ScaleByDpi(4), c.boxTop + box / 2);
    if (!expanded) Line(c.dc, ex + box / 2, c.boxTop + ScaleByDpi(4), ex + box / 2, c.boxTop + box - ScaleByDpi(4));
    SelectObject(c.dc, old);
}

// An item's tree line from its group.
void DrawBranch(const RowCanvas& c) {
    HPEN light = CreatePen(PS_SOLID, 1, RGB(180, 180, 180));
    HGDIOBJ old = SelectObject(c.dc, light);
    const int lx = c.rc.left + c.geometry.branchX;
    const int middle = c.boxTop + c.geometry.box / 2;
    Line(c.dc, lx, c.rc.top, lx, c.rc.bottom);
    Line(c.dc, lx, middle, c.rc.left + c.geometry.tickLeft - ScaleByDpi(2), middle);
    SelectObject(c.dc, old);
    DeleteObject(light);
}

// The tick box: a tick, a filled square for a group some of whose items are
// ticked, or empty.
void DrawTickBox(const RowCanvas& c, HPEN pen, bool partly, bool ticked) {
    const int box = c.geometry.box;
    const int tx = c.rc.left + c.geometry.tickLeft;
    HGDIOBJ old = SelectObject(c.dc, pen);
    Rectangle(c.dc, tx, c.boxTop, tx + box, c.boxTop + box);
    SelectObject(c.dc, old);
    if (partly) {
        HBRUSH fill = CreateSolidBrush(RGB(16, 124, 16));
        RECT square = {tx + ScaleByDpi(4), c.boxTop + ScaleByDpi(4), tx + box - ScaleByDpi(4), c.boxTop + box - ScaleByDpi(4)};
        if (fill) {
            FillRect(c.dc, &square, fill);
            DeleteObject(fill);
        }
    } else if (ticked) {
        HPEN tick = CreatePen(PS_SOLID, ScaleByDpi(2), RGB(16, 124, 16));
        old = SelectObject(c.dc, tick);
        MoveToEx(c.dc, tx + ScaleByDpi(3), c.boxTop + ScaleByDpi(1) + box / 2, nullptr);
        LineTo(c.dc, tx + ScaleByDpi(7), c.boxTop + box - ScaleByDpi(3));
        LineTo(c.dc, tx + box - ScaleByDpi(3), c.boxTop + ScaleByDpi(4));
        SelectObject(c.dc, old);
        DeleteObject(tick);
    }
}

// The size column's text, right-aligned in its column.
void DrawSizeText(const RowCanvas& c) {
    wchar_t size[64] = L"";
    LVITEMW item = {};
    item.iSubItem = 1;
    item.pszText = size;
    item.cchTextMax = 64;
    SendMessageW(g_hListClean, LVM_GETITEMTEXTW, static_cast<WPARAM>(c.row), reinterpret_cast<LPARAM>(&item));
    SIZE extent;
    if (size[0] && GetTextExtentPoint32W(c.dc, size, lstrlenW(size), &extent)) {
        int x = c.rc.right - extent.cx - ScaleByDpi(10);
        if (x < c.col0Right) x = c.col0Right + ScaleByDpi(4);
        TextOutW(c.dc, x, c.boxTop, size, lstrlenW(size));
    }
}

void DrawGroupOrItemRow(const RowCanvas& c, int32_t tag) {
    HPEN grey = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
    wchar_t name[128] = L"";
    bool caution = false;
    bool partly = false;
    int group, index;
    if (TagNamesGroup(tag, &group)) {
        DrawExpander(c, group, grey);
        lstrcpynW(name, reinterpret_cast<const wchar_t*>(g_CleanupGroups[group].name), 128);
        partly = GroupTickState(group) == GROUP_TICK_SOME;
    } else {
        DrawBranch(c);
        if (TagNamesItem(tag, &group, &index)) {
            RowItemName(group, index, Text16(name), 128);
            caution = g_CleanupGroups[group].items[index].caution != 0;
        }
    }
    DrawTickBox(c, grey, partly, IsRowSelected(c.row) != 0);
    DeleteObject(grey);
    const int textX = c.rc.left + c.geometry.textLeft;
    // The user's own files: the name warns before the tick is set.
    if (caution) SetTextColor(c.dc, LogLineColour(CS_FAILED));
    DrawName(c.dc, textX, c.boxTop, name, c.col0Right - textX - ScaleByDpi(4));
    SetTextColor(c.dc, RGB(32, 32, 32));
    DrawSizeText(c);
}

LRESULT DrawCatalogueRow(NMLVCUSTOMDRAW* draw) {
    RowCanvas c;
    c.dc = draw->nmcd.hdc;
    c.row = static_cast<int>(draw->nmcd.dwItemSpec);
    c.rc = draw->nmcd.rc;
    c.col0Right = c.rc.left + static_cast<int>(SendMessageW(g_hListClean, LVM_GETCOLUMNWIDTH, 0, 0));
    const int32_t tag = GetRowTag(c.row);
    c.geometry = CleanupRowGeometryAt(TagIsHeader(tag), g_nDpi);
    c.boxTop = c.rc.top + (c.rc.bottom - c.rc.top - c.geometry.box) / 2;
    FillRowBackground(c);
    SetBkMode(c.dc, TRANSPARENT);
    SetTextColor(c.dc, RGB(32, 32, 32));
    HFONT font = CreateUiFont(13);
    HGDIOBJ oldFont = font ? SelectObject(c.dc, font) : nullptr;
    if (tag == -1) {
        DrawMessageRow(c);
    } else {
        DrawGroupOrItemRow(c, tag);
    }
    if (oldFont) SelectObject(c.dc, oldFont);
    if (font) DeleteObject(font);
    return CDRF_SKIPDEFAULT;
}

LRESULT DrawCleanupRow(NMLVCUSTOMDRAW* draw) {
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (draw->nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
    if (g_bListShowsLog) {
        COLORREF colour = LogLineColour(GetRowTag(static_cast<int>(draw->nmcd.dwItemSpec)));
        SetTextColor(draw->nmcd.hdc, colour);
        draw->clrText = colour;
        return CDRF_NEWFONT;
    }
    return DrawCatalogueRow(draw);
}

// True when the click landed on an expander or a tick box and was acted on.
bool OnCleanupListClick() {
    if (g_bListShowsLog || CleanupTicksLocked()) return false;
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(g_hListClean, &cursor);
    LVHITTESTINFO hit = {};
    hit.pt = cursor;
    int row = static_cast<int>(SendMessageW(g_hListClean, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row < 0 || hit.iItem < 0 || hit.iSubItem != 0) return false;
    row = hit.iItem;
    int32_t tag = GetRowTag(row);
    RECT bounds = {};
    bounds.top = 0;
    bounds.left = LVIR_BOUNDS;
    SendMessageW(g_hListClean, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds));
    int dx = cursor.x - bounds.left;
    bool header = TagIsHeader(tag);
    const CleanupRowPart part = CleanupRowPartAt(header, g_nDpi, dx);
    if (part == ROW_PART_EXPANDER) {
        int g = TagGroup(tag);
        if (g > 31) return false;
        g_bGroupExpanded[g] = g_bGroupExpanded[g] ? 0 : 1;
        RebuildCleanupList();
        RefreshSizeColumn();
        UpdateTotalLabel();
        return true;
    }
    if (part != ROW_PART_TICK) return false;
    int group, item;
    if (TagNamesGroup(tag, &group)) {
        ToggleGroupSelection(group);
    } else if (TagNamesItem(tag, &group, &item)) {
        ToggleItemSelection(group, item);
    } else {
        return false;
    }
    InvalidateRect(g_hListClean, nullptr, TRUE);
    UpdateTotalLabel();
    RefreshSizeColumn();
    return true;
}

}  // namespace

void AppendListRow(const char16_t* text, int tag) {
    if (!g_hListClean || !text) return;
    int row = InsertRow(WideText(text), tag);
    if (row >= 0) SendMessageW(g_hListClean, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

int32_t GetRowTag(int row) {
    if (!g_hListClean) return 0;
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(g_hListClean, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return 0;
    return static_cast<int32_t>(item.lParam);
}

int32_t IsRowSelected(int row) {
    if (!g_hListClean) return 0;
    return TagSelected(GetRowTag(row)) ? 1 : 0;
}

void UpdateTotalLabel() {
    if (!g_hStaticTotal) return;
    char16_t size[kSizeTextUnits];
    FormatSize(SelectedTotal(), size);
    char16_t text[128];
    if (FormatText(text, 128, u"总计可释放空间: %s", size) >= 0) SetWindowTextW(g_hStaticTotal, WideText(text));
}

void RefreshSizeColumn() {
    // Log rows carry status codes, not catalogue tags: nothing to refresh.
    if (!g_hListClean || g_bListShowsLog) return;
    int rows = static_cast<int>(SendMessageW(g_hListClean, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        int32_t tag = GetRowTag(row);
        int group, item;
        if (TagNamesGroup(tag, &group)) {
            SetSizeText(row, GroupTotal(group));
        } else if (TagNamesItem(tag, &group, &item)) {
            SetSizeText(row, ItemSize(g_CleanupGroups[group].items[item]));
        }
    }
    InvalidateRect(g_hListClean, nullptr, TRUE);
}

void RebuildCleanupList() {
    if (!g_hListClean) return;
    // Message lines (a large file deleted, Disk Cleanup started) stay below
    // the catalogue when it is measured again.
    std::vector<std::wstring> messages;
    const int count = static_cast<int>(SendMessageW(g_hListClean, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        if (GetRowTag(row) != -1) continue;
        wchar_t text[256] = L"";
        LVITEMW item = {};
        item.pszText = text;
        item.cchTextMax = 256;
        SendMessageW(g_hListClean, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        messages.emplace_back(text);
    }
    SendMessageW(g_hListClean, WM_SETREDRAW, FALSE, 0);
    SendMessageW(g_hListClean, LVM_DELETEALLITEMS, 0, 0);
    for (const CatalogueRow& row : CatalogueRows(g_bGroupExpanded, 32)) {
        int index = InsertRow(L"", row.tag);
        if (index >= 0) SetSizeText(index, row.size);
    }
    for (const std::wstring& message : messages) InsertRow(message.c_str(), -1);
    UpdatePreviewButton();  // the selection went with the rows
    SendMessageW(g_hListClean, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(g_hListClean, nullptr, TRUE);
}

void SwitchToLogView() {
    g_bListShowsLog = 1;
    if (!g_hListClean) return;
    SendMessageW(g_hListClean, LVM_DELETEALLITEMS, 0, 0);
    ResetColumns(1);
    UpdatePreviewButton();
}

void SwitchToCatalogueView() {
    g_bListShowsLog = 0;
    if (!g_hListClean) return;
    SendMessageW(g_hListClean, LVM_DELETEALLITEMS, 0, 0);
    ResetColumns(2);
}

LRESULT OnCleanupListNotify(NMHDR* header) {
    if (header->code == NM_CUSTOMDRAW) return DrawCleanupRow(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    if (header->code == NM_CLICK) {
        OnCleanupListClick();
        return 0;
    }
    if (header->code == LVN_ITEMCHANGED) UpdatePreviewButton();
    // The list reports a second press soon after the first as a double-click,
    // not as a click: on an expander or a tick box it is one more toggle
    // (collapse, then expand at once); elsewhere on an item it opens the preview.
    if (header->code == NM_DBLCLK && OnCleanupListClick()) return 0;
    if (header->code == NM_DBLCLK && !g_bListShowsLog && !g_bCleanBusy.load()) {
        const NMITEMACTIVATE* activate = reinterpret_cast<const NMITEMACTIVATE*>(header);
        int group, item;
        if (activate->iItem >= 0 && TagNamesItem(GetRowTag(activate->iItem), &group, &item)) OpenPreview(group, item);
    }
    return 0;
}

namespace {

// 开始清理 was pressed and the ticked items are being measured before the
// question: the set about to be confirmed stays as it is.
bool g_bTicksLocked = false;

}  // namespace

void LockCleanupTicks(bool locked) { g_bTicksLocked = locked; }

bool CleanupTicksLocked() { return g_bTicksLocked || g_bCleanBusy.load() != 0; }

LRESULT OnSelectAllCommand(bool select) {
    if (CleanupTicksLocked()) return 0;  // the run's set is fixed; the buttons are off meanwhile
    if (select) {
        SelectAllItems();
    } else {
        DeselectAllItems();
    }
    UpdateTotalLabel();
    RefreshSizeColumn();
    if (g_hListClean) InvalidateRect(g_hListClean, nullptr, TRUE);
    return 0;
}
