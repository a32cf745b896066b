// The cleanup list's drawing: a catalogue row's expander, tree line, tick
// box, name and size, where CleanupRowGeometryAt puts them; the log's colours.
#include "ui/cleanup/cleanup_private.h"

#include "engine/catalogue.h"
#include "engine/clean.h"
#include "text/text16.h"
#include "ui/shell/app_state.h"
#include "ui/shell/ids.h"
#include "ui/shell/shell.h"
#include "uimodel/clean_question.h"
#include "uimodel/cleanup_rows.h"
#include "uimodel/layout_calc.h"

namespace {

HWND List() { return CleanupControl(IDC_LIST_CLEAN); }

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
    bool highlighted = SendMessageW(List(), LVM_GETITEMSTATE, static_cast<WPARAM>(c.row), LVIS_SELECTED) & LVIS_SELECTED;
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
    SendMessageW(List(), LVM_GETITEMTEXTW, static_cast<WPARAM>(c.row), reinterpret_cast<LPARAM>(&item));
    TextOutW(c.dc, c.rc.left + ScaleByDpi(6), c.boxTop, text, lstrlenW(text));
}

// A group's expander: a box with a minus, or a plus when it is collapsed.
void DrawExpander(const RowCanvas& c, int group, HPEN pen) {
    const int box = c.geometry.box;
    const bool expanded = GroupExpanded(group);
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
    SendMessageW(List(), LVM_GETITEMTEXTW, static_cast<WPARAM>(c.row), reinterpret_cast<LPARAM>(&item));
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
    bool ticked = false;
    int group, index;
    if (TagNamesGroup(tag, &group)) {
        DrawExpander(c, group, grey);
        lstrcpynW(name, reinterpret_cast<const wchar_t*>(g_CleanupGroups[group].name), 128);
        const GroupTick state = GroupTickState(group);
        partly = state == GROUP_TICK_SOME;
        ticked = state == GROUP_TICK_ALL;
    } else {
        DrawBranch(c);
        if (TagNamesItem(tag, &group, &index)) {
            RowItemName(group, index, Text16(name), 128);
            caution = g_CleanupGroups[group].items[index].caution != 0;
            ticked = IsRowSelected(c.row) != 0;
        }
    }
    DrawTickBox(c, grey, partly, ticked);
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
    c.col0Right = c.rc.left + static_cast<int>(SendMessageW(List(), LVM_GETCOLUMNWIDTH, 0, 0));
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

}  // namespace

LRESULT DrawCleanupRow(NMLVCUSTOMDRAW* draw) {
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (draw->nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
    if (CleanupShowsLog()) {
        COLORREF colour = LogLineColour(GetRowTag(static_cast<int>(draw->nmcd.dwItemSpec)));
        SetTextColor(draw->nmcd.hdc, colour);
        draw->clrText = colour;
        return CDRF_NEWFONT;
    }
    return DrawCatalogueRow(draw);
}
