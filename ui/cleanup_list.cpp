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

LRESULT DrawCatalogueRow(NMLVCUSTOMDRAW* draw) {
    HDC dc = draw->nmcd.hdc;
    int row = static_cast<int>(draw->nmcd.dwItemSpec);
    RECT rc = draw->nmcd.rc;
    int col0Right = rc.left + static_cast<int>(SendMessageW(g_hListClean, LVM_GETCOLUMNWIDTH, 0, 0));
    bool highlighted = SendMessageW(g_hListClean, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED;
    HBRUSH background = CreateSolidBrush(highlighted ? RGB(205, 232, 255) : RGB(255, 255, 255));
    if (background) {
        FillRect(dc, &rc, background);
        DeleteObject(background);
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(32, 32, 32));
    int32_t tag = GetRowTag(row);
    const CleanupRowGeometry geometry = CleanupRowGeometryAt(TagIsHeader(GetRowTag(row)), g_nDpi);
    const int box = geometry.box;
    const int boxTop = rc.top + (rc.bottom - rc.top - box) / 2;
    HFONT font = CreateUiFont(13);
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;

    if (tag == -1) {
        // A message line (a deleted large file) while the catalogue shows:
        // its text rather than an empty tick box.
        wchar_t text[256] = L"";
        LVITEMW item = {};
        item.pszText = text;
        item.cchTextMax = 256;
        SendMessageW(g_hListClean, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        TextOutW(dc, rc.left + ScaleByDpi(6), boxTop, text, lstrlenW(text));
    } else {
        int tx;
        const wchar_t* name = L"";
        wchar_t itemName[128];
        bool caution = false;
        int group, index;
        HPEN grey = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
        if (TagIsHeader(tag)) {
            int g = TagGroup(tag);
            bool expanded = g <= 31 && g_bGroupExpanded[g];
            int ex = rc.left + geometry.expanderLeft;
            HGDIOBJ old = SelectObject(dc, grey);
            Rectangle(dc, ex, boxTop, ex + box, boxTop + box);
            Line(dc, ex + ScaleByDpi(4), boxTop + box / 2, ex + box - ScaleByDpi(4), boxTop + box / 2);
            if (!expanded) Line(dc, ex + box / 2, boxTop + ScaleByDpi(4), ex + box / 2, boxTop + box - ScaleByDpi(4));
            SelectObject(dc, old);
            tx = rc.left + geometry.tickLeft;
            if (TagNamesGroup(tag, &group)) name = reinterpret_cast<const wchar_t*>(g_CleanupGroups[group].name);
        } else {
            HPEN light = CreatePen(PS_SOLID, 1, RGB(180, 180, 180));
            HGDIOBJ old = SelectObject(dc, light);
            int lx = rc.left + geometry.branchX;
            Line(dc, lx, rc.top, lx, rc.bottom);
            Line(dc, lx, boxTop + box / 2, rc.left + geometry.tickLeft - ScaleByDpi(2), boxTop + box / 2);
            SelectObject(dc, old);
            DeleteObject(light);
            tx = rc.left + geometry.tickLeft;
            if (TagNamesItem(tag, &group, &index)) {
                RowItemName(group, index, Text16(itemName), 128);
                name = itemName;
                caution = g_CleanupGroups[group].items[index].caution != 0;
            }
        }
        HGDIOBJ old = SelectObject(dc, grey);
        Rectangle(dc, tx, boxTop, tx + box, boxTop + box);
        SelectObject(dc, old);
        DeleteObject(grey);
        const bool partly = TagNamesGroup(tag, &group) && GroupTickState(group) == GROUP_TICK_SOME;
        if (partly) {
            // Some of the group's items: a filled square, not a tick.
            HBRUSH fill = CreateSolidBrush(RGB(16, 124, 16));
            RECT square = {tx + ScaleByDpi(4), boxTop + ScaleByDpi(4), tx + box - ScaleByDpi(4), boxTop + box - ScaleByDpi(4)};
            if (fill) {
                FillRect(dc, &square, fill);
                DeleteObject(fill);
            }
        } else if (IsRowSelected(row)) {
            HPEN tick = CreatePen(PS_SOLID, ScaleByDpi(2), RGB(16, 124, 16));
            old = SelectObject(dc, tick);
            MoveToEx(dc, tx + ScaleByDpi(3), boxTop + ScaleByDpi(1) + box / 2, nullptr);
            LineTo(dc, tx + ScaleByDpi(7), boxTop + box - ScaleByDpi(3));
            LineTo(dc, tx + box - ScaleByDpi(3), boxTop + ScaleByDpi(4));
            SelectObject(dc, old);
            DeleteObject(tick);
        }
        wchar_t copy[256];
        lstrcpynW(copy, name, 256);
        int textX = rc.left + geometry.textLeft;
        // The user's own files: the name warns before the tick is set.
        if (caution) SetTextColor(dc, LogLineColour(CS_FAILED));
        DrawName(dc, textX, boxTop, copy, col0Right - textX - ScaleByDpi(4));
        SetTextColor(dc, RGB(32, 32, 32));

        wchar_t size[64] = L"";
        LVITEMW item = {};
        item.iSubItem = 1;
        item.pszText = size;
        item.cchTextMax = 64;
        SendMessageW(g_hListClean, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        SIZE extent;
        if (size[0] && GetTextExtentPoint32W(dc, size, lstrlenW(size), &extent)) {
            int x = rc.right - extent.cx - ScaleByDpi(10);
            if (x < col0Right) x = col0Right + ScaleByDpi(4);
            TextOutW(dc, x, boxTop, size, lstrlenW(size));
        }
    }
    if (oldFont) SelectObject(dc, oldFont);
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

LRESULT OnCleanupListClick() {
    if (g_bListShowsLog || CleanupTicksLocked()) return 0;
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(g_hListClean, &cursor);
    LVHITTESTINFO hit = {};
    hit.pt = cursor;
    int row = static_cast<int>(SendMessageW(g_hListClean, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row < 0 || hit.iItem < 0 || hit.iSubItem != 0) return 0;
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
        if (g > 31) return 0;
        g_bGroupExpanded[g] = g_bGroupExpanded[g] ? 0 : 1;
        RebuildCleanupList();
        RefreshSizeColumn();
        UpdateTotalLabel();
        return 0;
    }
    if (part != ROW_PART_TICK) return 0;
    int group, item;
    if (TagNamesGroup(tag, &group)) {
        ToggleGroupSelection(group);
    } else if (TagNamesItem(tag, &group, &item)) {
        ToggleItemSelection(group, item);
    } else {
        return 0;
    }
    InvalidateRect(g_hListClean, nullptr, TRUE);
    UpdateTotalLabel();
    RefreshSizeColumn();
    return 0;
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
    if (header->code == NM_CLICK) return OnCleanupListClick();
    if (header->code == LVN_ITEMCHANGED) UpdatePreviewButton();
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
