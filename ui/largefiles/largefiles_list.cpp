// The large-file list on the main thread: the published results as rows,
// their order, and the open and delete actions.
#include "ui/largefiles/largefiles_private.h"

#include "largefiles/results.h"
#include "platform/fs_common.h"
#include "platform/system_win32.h"
#include "text/format.h"
#include "text/text16.h"
#include "text/time_text.h"
#include "ui/shell/app_state.h"
#include "ui/shell/export_file.h"
#include "ui/shell/ids.h"
#include "ui/shell/shell.h"
#include "uimodel/large_rows.h"

#include <shellapi.h>

#include <cstdlib>
#include <new>

namespace {

// The order the user chose; it stays over rescans.
LargeSort g_largeSort = {-1, 0};
// How the scan whose records are listed ended, for the summary after a delete.
int32_t g_nShownOutcome = LARGE_SCAN_DONE;

HWND List() { return LargeControl(IDC_LIST_LARGE); }

// Anything but the file the scan listed: nothing is done to it.
const wchar_t kFileChanged[] = L"文件已变化，请重新扫描";

int32_t RowTag(int row) {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(List(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return -1;
    return static_cast<int32_t>(item.lParam);
}

// Rows carry their record's index; an index outside the records compares equal.
int CALLBACK CompareRows(LPARAM a, LPARAM b, LPARAM) {
    const int32_t count = g_nLargeFiles.load(std::memory_order_acquire);
    if (a < 0 || a >= count || b < 0 || b >= count) return 0;
    const LargeFileEntry* entries = g_pLargeFiles.load(std::memory_order_acquire);
    return CompareLargeFiles(entries[a], entries[b], g_largeSort);
}

}  // namespace

// A stopped scan lists only what it found before it stopped.
void ShowLargeFileSummary(int32_t outcome) {
    g_nShownOutcome = outcome;
    int32_t count = g_nLargeFiles.load(std::memory_order_acquire);
    const LargeFileEntry* entries = g_pLargeFiles.load(std::memory_order_acquire);
    uint64_t sum = 0, taken = 0;
    for (int32_t i = 0; i < count; ++i) {
        sum += entries[i].size;
        taken += entries[i].space;
    }
    char16_t size[kSizeTextUnits], space[kSizeTextUnits];
    FormatSize(sum, size);
    FormatSize(taken, space);
    char16_t summary[128];
    if (outcome == LARGE_SCAN_FAILED) {
        Text16CopyTruncated(summary, 128, u"扫描失败");
    } else {
        FormatText(summary, 128, u"%s：发现 %d 个大文件，共 %s，占用 %s",
                   outcome == LARGE_SCAN_STOPPED ? u"扫描已停止" : u"扫描完成", count, size, space);
    }
    if (HWND label = LargeControl(IDC_STATIC_SCAN_STAT)) SetWindowTextW(label, WideText(summary));
    SetLargeStatus(summary);
}

namespace {

// The 操作 cell: "打开" over its left half and "删除" over its right half,
// where the clicks go (see NM_CLICK).
LRESULT DrawActionCell(NMLVCUSTOMDRAW* draw) {
    const int row = static_cast<int>(draw->nmcd.dwItemSpec);
    RECT cell = {};
    cell.top = kLargeColumnAction;
    cell.left = LVIR_BOUNDS;
    if (!SendMessageW(List(), LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell)))
        return CDRF_DODEFAULT;
    HDC dc = draw->nmcd.hdc;
    const bool selected = SendMessageW(List(), LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED;
    COLORREF back = selected ? GetSysColor(COLOR_HIGHLIGHT) : GetSysColor(COLOR_WINDOW);
    HBRUSH brush = CreateSolidBrush(back);
    if (brush) {
        FillRect(dc, &cell, brush);
        DeleteObject(brush);
    }
    SetBkMode(dc, TRANSPARENT);
    const int middle = (cell.left + cell.right) / 2;
    RECT left = {cell.left, cell.top, middle, cell.bottom};
    RECT right = {middle, cell.top, cell.right, cell.bottom};
    SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : RGB(0, 102, 204));
    DrawTextW(dc, L"打开", -1, &left, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    const int32_t tag = RowTag(row);
    const bool held = tag >= 0 && tag < g_nLargeFiles.load(std::memory_order_acquire) &&
                      IsFileWindowsHolds(g_pLargeFiles.load(std::memory_order_acquire)[tag].path);
    SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : held ? RGB(96, 96, 96) : RGB(200, 30, 30));
    DrawTextW(dc, held ? L"说明" : L"删除", -1, &right, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    return CDRF_SKIPDEFAULT;
}

LRESULT DrawLargeRow(NMLVCUSTOMDRAW* draw) {
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
        return draw->iSubItem == kLargeColumnAction ? DrawActionCell(draw) : CDRF_DODEFAULT;
    default:
        return CDRF_DODEFAULT;
    }
}

// The header shows which column the rows are sorted by, and which way.

void ExplainFileWindowsHolds(const char16_t* path) {
    char16_t text[512];
    FormatText(text, 512,
               u"%s 由 Windows 使用，不能在这里删除。\n\n"
               u"pagefile.sys 和 swapfile.sys 是虚拟内存：可在“系统属性 → 高级 → 性能 设置 → 高级 → 虚拟内存 更改”中调小或移到其他磁盘。\n\n"
               u"hiberfil.sys 供休眠和快速启动使用：可在“系统空间”页精简或关闭休眠（需要管理员模式），Windows 会随之缩小或删除它。",
               path);
    MessageBoxW(g_hMainWnd, WideText(text), L"说明", MB_OK | MB_ICONINFORMATION);
}

}  // namespace

void ClearLargeFileList() {
    if (List()) SendMessageW(List(), LVM_DELETEALLITEMS, 0, 0);
}

void FillLargeFileList() {
    if (!List()) return;
    SendMessageW(List(), LVM_DELETEALLITEMS, 0, 0);
    int32_t count = g_nLargeFiles.load(std::memory_order_acquire);
    const LargeFileEntry* entries = g_pLargeFiles.load(std::memory_order_acquire);
    for (int32_t i = 0; i < count; ++i) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = i;
        item.pszText = const_cast<wchar_t*>(WideText(entries[i].path));
        item.lParam = i;
        int row = static_cast<int>(SendMessageW(List(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (row < 0) continue;
        char16_t size[kSizeTextUnits];
        FormatSize(entries[i].size, size);
        LVITEMW cell = {};
        cell.iSubItem = kLargeColumnSize;
        cell.pszText = WideText(size);
        SendMessageW(List(), LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
        FormatSize(entries[i].space, size);
        cell.iSubItem = kLargeColumnSpace;
        SendMessageW(List(), LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
        char16_t when[kTimeTextUnits];
        FormatModifiedTime(entries[i].modified, when);
        cell.iSubItem = kLargeColumnModified;
        cell.pszText = WideText(when);
        SendMessageW(List(), LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
        cell.iSubItem = kLargeColumnAction;
        cell.pszText = const_cast<wchar_t*>(IsFileWindowsHolds(entries[i].path) ? L"打开 说明" : L"打开 删除");
        SendMessageW(List(), LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    }
    // The rows keep the order the user chose.
    if (g_largeSort.column >= 0) SendMessageW(List(), LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(CompareRows));
}

void ExportLargeFileList() {
    if (!List() || LargePhase() != SCAN_IDLE) return;
    const int32_t count = g_nLargeFiles.load(std::memory_order_acquire);
    const LargeFileEntry* entries = g_pLargeFiles.load(std::memory_order_acquire);
    std::vector<ExportRow> rows;
    try {
        const int shown = static_cast<int>(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < shown; ++row) {
            const int32_t tag = RowTag(row);
            if (tag >= 0 && tag < count) rows.push_back(LargeExportRowOf(entries[tag]));
        }
    } catch (const std::bad_alloc&) {
        MessageBoxW(g_hMainWnd, L"内存不足，无法导出。", L"导出失败", MB_OK | MB_ICONERROR);
        return;
    }
    if (ExportRowsAsCsv(g_hMainWnd, L"大文件.csv", rows)) {
        char16_t text[96];
        FormatText(text, 96, u"已导出 %d 行", static_cast<int32_t>(rows.size()));
        SetLargeStatus(text);
    }
}

namespace {

void OpenLargeFileLocation(int32_t index) {
    int32_t count = g_nLargeFiles.load(std::memory_order_acquire);
    if (index < 0 || index >= count) return;
    const LargeFileEntry& record = g_pLargeFiles.load(std::memory_order_acquire)[index];
    if (ActOnListedFile(record, false) != LISTED_FILE_OK) {
        MessageBoxW(g_hMainWnd, kFileChanged, L"提示", MB_OK | MB_ICONWARNING);
        return;
    }
    // Explorer shows the file in its folder; nothing named there is run.
    // The shell reads plain paths only: the literal one without its "\\?\"
    // (a name the plain form cannot spell is then not found, and nothing
    // else is opened).
    char16_t file[270];
    if (LargeFileLiteralPath(record.path, file, 270)) WindowsPlainForm(file);
    if (!file[0] || !OpenFolderSelecting(WideText(file)))
        MessageBoxW(g_hMainWnd, L"资源管理器无法显示该文件。", L"提示", MB_OK | MB_ICONWARNING);
}

void DeleteLargeFileAt(int32_t index) {
    int32_t count = g_nLargeFiles.load(std::memory_order_acquire);
    if (index < 0 || index >= count) return;
    const LargeFileEntry& record = g_pLargeFiles.load(std::memory_order_acquire)[index];
    char16_t question[512];
    FormatText(question, 512, u"确定删除以下文件？\n\n%s\n\n文件将被永久删除，不会进入回收站。", record.path);
    // A permanent delete: Return answers 否.
    if (MessageBoxW(g_hMainWnd, WideText(question), L"确认删除", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
        return;
    // Only the file that was listed, reached without following a link.
    switch (ActOnListedFile(record, true)) {
    case LISTED_FILE_OK:
        break;
    case LISTED_FILE_CHANGED:
        MessageBoxW(g_hMainWnd, kFileChanged, L"提示", MB_OK | MB_ICONWARNING);
        return;
    case LISTED_FILE_HARD_LINKED:
        MessageBoxW(g_hMainWnd, L"该文件还有其他硬链接，为保护它们未删除", L"提示", MB_OK | MB_ICONWARNING);
        return;
    default:
        MessageBoxW(g_hMainWnd, L"删除失败，文件可能正在使用中", L"错误", MB_OK | MB_ICONERROR);
        return;
    }
    RemoveLargeFileRecord(index);
    // The cleanup page says so in its list, and measures again.
    TellPages(NOTE_LARGE_FILE_DELETED);
    FillLargeFileList();
    ShowLargeFileSummary(g_nShownOutcome);
    RefreshFreeSpace(nullptr);
}

}  // namespace

LRESULT OnLargeListNotify(NMHDR* header) {
    switch (header->code) {
    case NM_CUSTOMDRAW:
        return DrawLargeRow(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    case LVN_COLUMNCLICK: {
        ChooseLargeSortColumn(&g_largeSort, reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
        SendMessageW(List(), LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(CompareRows));
        ShowListSortArrow(List(), g_largeSort.column, !g_largeSort.descending);
        break;
    }
    case NM_DBLCLK: {
        int row = static_cast<int>(SendMessageW(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
        if (row >= 0) {
            int32_t tag = RowTag(row);
            if (tag >= 0) OpenLargeFileLocation(tag);
        }
        break;
    }
    case NM_CLICK: {
        const NMITEMACTIVATE* click = reinterpret_cast<const NMITEMACTIVATE*>(header);
        if (click->iItem < 0 || click->iSubItem != kLargeColumnAction) break;
        int32_t tag = RowTag(click->iItem);
        RECT cell = {};
        cell.top = kLargeColumnAction;
        cell.left = LVIR_BOUNDS;
        SendMessageW(List(), LVM_GETSUBITEMRECT, static_cast<WPARAM>(click->iItem), reinterpret_cast<LPARAM>(&cell));
        int middle = (cell.left + cell.right) / 2;
        if (click->ptAction.x < middle) {
            OpenLargeFileLocation(tag);
        } else if (tag >= 0 && tag < g_nLargeFiles.load(std::memory_order_acquire)) {
            if (IsFileWindowsHolds(g_pLargeFiles.load(std::memory_order_acquire)[tag].path)) {
                ExplainFileWindowsHolds(g_pLargeFiles.load(std::memory_order_acquire)[tag].path);
            } else {
                DeleteLargeFileAt(tag);
            }
        }
        break;
    }
    default:
        break;
    }
    return 0;
}
