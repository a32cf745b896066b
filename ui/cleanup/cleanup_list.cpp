// The cleanup list view: the catalogue as a two-level tree with drawn
// expanders and tick boxes, and the coloured cleaning log.
#include "ui/cleanup/cleanup_private.h"

#include "engine/catalogue.h"
#include "text/format.h"
#include "text/text16.h"
#include "ui/preview/preview_window.h"
#include "ui/shell/app_state.h"
#include "ui/shell/ids.h"
#include "ui/shell/shell.h"
#include "uimodel/clean_question.h"
#include "uimodel/cleanup_rows.h"
#include "uimodel/layout_calc.h"

#include <string>
#include <vector>

namespace {

HWND List() { return CleanupControl(IDC_LIST_CLEAN); }

void SetSizeText(int row, uint64_t bytes) {
    char16_t text[kSizeTextUnits];
    FormatSize(bytes, text);
    LVITEMW item = {};
    item.iSubItem = 1;
    item.pszText = WideText(text);
    SendMessageW(List(), LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

int InsertRow(const wchar_t* text, int32_t tag) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<wchar_t*>(text);
    item.lParam = static_cast<LPARAM>(tag);  // sign-extended
    return static_cast<int>(SendMessageW(List(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void ResetColumns(int wanted) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(List(), LVM_GETHEADER, 0, 0));
    if (header && SendMessageW(header, HDM_GETITEMCOUNT, 0, 0) == wanted) return;
    while (SendMessageW(List(), LVM_DELETECOLUMN, 0, 0)) {
    }
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    if (wanted == 1) {
        column.cx = 2000;
        column.pszText = const_cast<wchar_t*>(L"清理日志");
        SendMessageW(List(), LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    } else {
        // The widths the layout gives for the window's current size and DPI.
        RECT client = {0, 0, 0, 0};
        GetClientRect(GetParent(List()), &client);
        MainLayout layout = ComputeMainLayout(client.right, client.bottom, g_nDpi);
        column.cx = layout.cleanColumn0;
        column.pszText = const_cast<wchar_t*>(L"项目");
        SendMessageW(List(), LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
        column.cx = layout.cleanColumn1;
        column.pszText = const_cast<wchar_t*>(L"大小");
        SendMessageW(List(), LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
    }
    SendMessageW(List(), LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
}

// True when the click landed on an expander or a tick box and was acted on.
bool OnCleanupListClick() {
    if (CleanupShowsLog() || CleanupTicksFixed(CleanupCurrentPhase())) return false;
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(List(), &cursor);
    LVHITTESTINFO hit = {};
    hit.pt = cursor;
    int row = static_cast<int>(SendMessageW(List(), LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row < 0 || hit.iItem < 0 || hit.iSubItem != 0) return false;
    row = hit.iItem;
    int32_t tag = GetRowTag(row);
    RECT bounds = {};
    bounds.top = 0;
    bounds.left = LVIR_BOUNDS;
    SendMessageW(List(), LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds));
    int dx = cursor.x - bounds.left;
    bool header = TagIsHeader(tag);
    const CleanupRowPart part = CleanupRowPartAt(header, g_nDpi, dx);
    if (part == ROW_PART_EXPANDER) {
        int g = TagGroup(tag);
        if (g > 31) return false;
        FlipGroupExpanded(g);
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
    InvalidateRect(List(), nullptr, TRUE);
    UpdateTotalLabel();
    RefreshSizeColumn();
    return true;
}

}  // namespace

void AppendListRow(const char16_t* text, int tag) {
    if (!List() || !text) return;
    int row = InsertRow(WideText(text), tag);
    if (row >= 0) SendMessageW(List(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

void UpdateTotalLabel() {
    HWND label = CleanupControl(IDC_STATIC_TOTAL);
    if (!label) return;
    char16_t size[kSizeTextUnits];
    FormatSize(SelectedTotal(), size);
    char16_t text[128];
    if (FormatText(text, 128, u"总计可释放空间: %s", size) >= 0) SetWindowTextW(label, WideText(text));
}

void RefreshSizeColumn() {
    // Log rows carry status codes, not catalogue tags: nothing to refresh.
    if (!List() || CleanupShowsLog()) return;
    int rows = static_cast<int>(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        int32_t tag = GetRowTag(row);
        int group, item;
        if (TagNamesGroup(tag, &group)) {
            SetSizeText(row, GroupTotal(group));
        } else if (TagNamesItem(tag, &group, &item)) {
            SetSizeText(row, ItemSize(g_CleanupGroups[group].items[item]));
        }
    }
    InvalidateRect(List(), nullptr, TRUE);
}

void RebuildCleanupList() {
    if (!List()) return;
    // Message lines (a large file deleted, Disk Cleanup started) stay below
    // the catalogue when it is measured again.
    std::vector<std::wstring> messages;
    const int count = static_cast<int>(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        if (GetRowTag(row) != -1) continue;
        wchar_t text[256] = L"";
        LVITEMW item = {};
        item.pszText = text;
        item.cchTextMax = 256;
        SendMessageW(List(), LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        messages.emplace_back(text);
    }
    SendMessageW(List(), WM_SETREDRAW, FALSE, 0);
    SendMessageW(List(), LVM_DELETEALLITEMS, 0, 0);
    for (const CatalogueRow& row : CatalogueRows(ExpandedGroups(), 32)) {
        int index = InsertRow(L"", row.tag);
        if (index >= 0) SetSizeText(index, row.size);
    }
    for (const std::wstring& message : messages) InsertRow(message.c_str(), -1);
    ApplyCleanupEnabled();  // the selection went with the rows
    SendMessageW(List(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(List(), nullptr, TRUE);
}

void SwitchToLogView() {
    SetCleanupShowsLog(true);
    ResetCleanupRunTotals();
    if (!List()) return;
    SendMessageW(List(), LVM_DELETEALLITEMS, 0, 0);
    ResetColumns(1);
    ApplyCleanupEnabled();
}

void SwitchToCatalogueView() {
    SetCleanupShowsLog(false);
    if (!List()) return;
    SendMessageW(List(), LVM_DELETEALLITEMS, 0, 0);
    ResetColumns(2);
}

LRESULT OnCleanupListNotify(NMHDR* header) {
    if (header->code == NM_CUSTOMDRAW) return DrawCleanupRow(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    if (header->code == NM_CLICK) {
        OnCleanupListClick();
        return 0;
    }
    if (header->code == LVN_ITEMCHANGED) ApplyCleanupEnabled();
    // The list reports a second press soon after the first as a double-click,
    // not as a click: on an expander or a tick box it is one more toggle
    // (collapse, then expand at once); elsewhere on an item it opens the preview.
    if (header->code == NM_DBLCLK && OnCleanupListClick()) return 0;
    if (header->code == NM_DBLCLK && !CleanupShowsLog() && CleanupCurrentPhase() != CLEANUP_CLEANING) {
        const NMITEMACTIVATE* activate = reinterpret_cast<const NMITEMACTIVATE*>(header);
        int group, item;
        if (activate->iItem >= 0 && TagNamesItem(GetRowTag(activate->iItem), &group, &item)) OpenPreview(group, item);
    }
    return 0;
}

LRESULT OnSelectAllCommand(bool select) {
    // The run's set is fixed; the buttons are off meanwhile.
    if (CleanupTicksFixed(CleanupCurrentPhase())) return 0;
    if (select) {
        SelectAllItems();
    } else {
        DeselectAllItems();
    }
    UpdateTotalLabel();
    RefreshSizeColumn();
    if (List()) InvalidateRect(List(), nullptr, TRUE);
    return 0;
}
