// The space view: 开始分析 reads the system drive into a tree on a worker;
// the page then shows one folder at a time, as a list and as a treemap.
// It deletes nothing.
#include "ui/main_window.h"

#include "largefiles/route.h"
#include "largefiles/space_tree.h"
#include "platform/fs.h"
#include "platform/post.h"
#include "platform/system_win32.h"
#include "text/format.h"
#include "text/text16.h"
#include "ui/app_state.h"
#include "ui/ids.h"
#include "ui/workers.h"
#include "uimodel/space_rows.h"

#include <atomic>
#include <string>
#include <vector>

namespace {

enum SpaceOutcome : WPARAM { SPACE_DONE, SPACE_STOPPED, SPACE_FAILED };

// 1 from 开始分析 until the worker has published; clearing it is the stop
// request. Written by OnAnalyzeCommand (set) and StopSpaceScan (clear) alone.
std::atomic<int32_t> g_bSpaceScanBusy{0};
std::atomic<int32_t> g_bSpaceWorkerLive{0};
// Bytes the drive used when the scan began (written before the worker starts).
std::atomic<uint64_t> g_nSpaceUsed{0};

// Main thread only.
SpaceTree* g_pSpaceTree = nullptr;
uint32_t g_nSpaceFolder = 0;
std::vector<SpaceRow> g_spaceRows;
uint64_t g_nSpaceRowsTotal = 0;  // the rows' sizes together: 占比's whole, kept off the paint path
SpaceColumn g_nSpaceSortColumn = SPACE_COL_SIZE;
bool g_bSpaceSortAscending = false;

bool IsSpaceScanCancelled() { return g_bSpaceScanBusy.load(std::memory_order_relaxed) == 0; }

void OnSpaceProgress(int32_t percent, int32_t directories, int32_t files, void*) {
    if (!g_hStaticSpaceStat) return;
    char16_t text[128];
    if (FormatText(text, 128, u"正在分析... 已扫描 %d 个目录，%d 个文件 (%d%%)", directories, files, percent) < 0) return;
    SetWindowTextW(g_hStaticSpaceStat, WideText(text));
}

uint32_t SpaceScanWorker(HWND window) {
    char16_t root[8];
    Text16CopyTruncated(root, 8, g_szSystemDrive);
    SpaceTree* tree = nullptr;
    const int32_t result =
        ScanDriveSpaceTree(root, g_nSpaceUsed.load(), &tree, OnSpaceProgress, IsSpaceScanCancelled, nullptr, nullptr);
    const WPARAM outcome = result != 0 ? SPACE_FAILED : IsSpaceScanCancelled() ? SPACE_STOPPED : SPACE_DONE;
    StopSpaceScan();  // the scan is over: nothing left to stop
    if (!PostWindowMessage(window, MSG_SPACE_SCAN_FINISHED, outcome, reinterpret_cast<intptr_t>(tree))) delete tree;
    return 0;
}

DWORD WINAPI SpaceScanThread(LPVOID window) {
    const DWORD result = SpaceScanWorker(static_cast<HWND>(window));
    g_bSpaceWorkerLive.store(0);
    g_nLiveWorkers.fetch_sub(1);
    return result;
}

bool StartSpaceScanWorker(HWND window) {
    g_nLiveWorkers.fetch_add(1);
    g_bSpaceWorkerLive.store(1);
    HANDLE thread = CreateThread(nullptr, 0, SpaceScanThread, window, 0, nullptr);
    if (!thread) {
        g_bSpaceWorkerLive.store(0);
        g_nLiveWorkers.fetch_sub(1);
        return false;
    }
    CloseHandle(thread);
    return true;
}

uint64_t DriveUsedBytes() {
    const wchar_t root[] = {static_cast<wchar_t>(g_szSystemDrive[0]), L':', L'\\', 0};
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExW(root, &available, &total, &free) || total.QuadPart < free.QuadPart) return 0;
    return total.QuadPart - free.QuadPart;
}

// The folder's path from the drive's root ("C:\Windows\System32").
std::u16string FolderPath(uint32_t folder) {
    std::vector<uint32_t> chain;
    for (uint32_t at = folder; at != 0 && at != kNoFolder; at = g_pSpaceTree->Folder(at).parent) chain.push_back(at);
    std::u16string path(g_szSystemDrive);
    for (size_t i = chain.size(); i-- > 0;) {
        if (path.back() != u'\\') path += u'\\';
        path += g_pSpaceTree->Name(g_pSpaceTree->Folder(chain[i]).name);
    }
    return path;
}


void SetCell(int row, int column, const char16_t* text) {
    LVITEMW cell = {};
    cell.iSubItem = column;
    cell.pszText = const_cast<wchar_t*>(WideText(text));
    SendMessageW(g_hListSpace, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
}


// Fills the list from g_spaceRows (row i is list item i) and selects row `select`.
void FillSpaceList(int32_t select) {
    if (!g_hListSpace) return;
    SendMessageW(g_hListSpace, WM_SETREDRAW, FALSE, 0);
    SendMessageW(g_hListSpace, LVM_DELETEALLITEMS, 0, 0);
    g_nSpaceRowsTotal = 0;
    for (const SpaceRow& row : g_spaceRows) g_nSpaceRowsTotal += row.size;
    const uint64_t total = g_nSpaceRowsTotal;
    for (size_t i = 0; i < g_spaceRows.size(); ++i) {
        const SpaceRow& row = g_spaceRows[i];
        char16_t name[260];
        SpaceRowName(*g_pSpaceTree, g_nSpaceFolder, row, name);
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = WideText(name);
        item.lParam = static_cast<LPARAM>(i);
        const int at = static_cast<int>(SendMessageW(g_hListSpace, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
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
            FormatText(text, kSizeTextUnits, u"%d", static_cast<int32_t>(row.files));
            SetCell(at, 4, text);
        }
    }
    if (select >= 0 && select < static_cast<int32_t>(g_spaceRows.size())) {
        LVITEMW state = {};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(g_hListSpace, LVM_SETITEMSTATE, static_cast<WPARAM>(select), reinterpret_cast<LPARAM>(&state));
        SendMessageW(g_hListSpace, LVM_ENSUREVISIBLE, static_cast<WPARAM>(select), FALSE);
    }
    SendMessageW(g_hListSpace, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(g_hListSpace, nullptr, TRUE);
    ShowListSortArrow(g_hListSpace, g_nSpaceSortColumn, g_bSpaceSortAscending);
    if (g_hStaticSpacePath) SetWindowTextW(g_hStaticSpacePath, WideText(FolderPath(g_nSpaceFolder).c_str()));
    if (g_hBtnSpaceUp) EnableWindow(g_hBtnSpaceUp, g_nSpaceFolder != 0);
    if (g_hBtnSpaceOpen) EnableWindow(g_hBtnSpaceOpen, g_pSpaceTree != nullptr);
    RefreshTreemap();
}

// Shows folder, selecting the row of `selectFolder` when it is listed.
void ShowFolder(uint32_t folder, uint32_t selectFolder) {
    if (!g_pSpaceTree) return;
    g_nSpaceFolder = folder;
    g_spaceRows = SpaceRowsOf(*g_pSpaceTree, folder, folder == 0 ? g_nSpaceUsed.load() : 0);
    SortSpaceRows(*g_pSpaceTree, folder, &g_spaceRows, g_nSpaceSortColumn, g_bSpaceSortAscending);
    int32_t select = g_spaceRows.empty() ? -1 : 0;
    for (size_t i = 0; i < g_spaceRows.size(); ++i)
        if (g_spaceRows[i].kind == SPACE_ROW_FOLDER && g_spaceRows[i].folder == selectFolder) select = static_cast<int32_t>(i);
    FillSpaceList(select);
}

// The 占比 cell: the share as a bar under its text.
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
        RECT cell = {};
        cell.top = 3;
        cell.left = LVIR_BOUNDS;
        if (!SendMessageW(g_hListSpace, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell)))
            return CDRF_DODEFAULT;
        HDC dc = draw->nmcd.hdc;
        const bool selected = SendMessageW(g_hListSpace, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) != 0;
        // As the list draws the row's other cells: strong only while it has the focus.
        const bool strong = selected && GetFocus() == g_hListSpace;
        HBRUSH back = CreateSolidBrush(strong ? GetSysColor(COLOR_HIGHLIGHT)
                                              : selected ? GetSysColor(COLOR_BTNFACE) : RGB(255, 255, 255));
        FillRect(dc, &cell, back);
        DeleteObject(back);
        const int32_t share = SpaceShare(g_spaceRows[row].size, g_nSpaceRowsTotal);
        RECT bar = {cell.left + ScaleByDpi(3), cell.top + ScaleByDpi(3), 0, cell.bottom - ScaleByDpi(3)};
        const int room = cell.right - cell.left - ScaleByDpi(6);
        bar.right = bar.left + (room > 0 ? room * share / 1000 : 0);
        if (bar.right > bar.left) {
            HBRUSH fill = CreateSolidBrush(RGB(150, 190, 240));
            FillRect(dc, &bar, fill);
            DeleteObject(fill);
        }
        wchar_t text[32];
        LVITEMW item = {};
        item.iSubItem = 3;
        item.pszText = text;
        item.cchTextMax = 32;
        SendMessageW(g_hListSpace, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, strong ? GetSysColor(COLOR_HIGHLIGHTTEXT) : RGB(0, 0, 0));
        RECT text_ = cell;
        text_.left += ScaleByDpi(6);
        DrawTextW(dc, text, -1, &text_, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
        return CDRF_SKIPDEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

// Explorer at the row, selected: a folder or file as listed, reached from
// the root without passing a link; for the summary rows, the folder shown.
void OpenRow(int32_t index) {
    if (!g_pSpaceTree) return;
    std::u16string folder = FolderPath(g_nSpaceFolder);
    std::u16string name;
    if (index >= 0 && index < static_cast<int32_t>(g_spaceRows.size())) {
        const SpaceRow& row = g_spaceRows[index];
        if (row.kind == SPACE_ROW_FOLDER) name = g_pSpaceTree->Name(g_pSpaceTree->Folder(row.folder).name);
        if (row.kind == SPACE_ROW_FILE) name = g_pSpaceTree->Name(g_pSpaceTree->Folder(g_nSpaceFolder).kept[row.file].name);
    }
    if (name.empty() && g_nSpaceFolder != 0) {
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

bool SpaceScanBusy() { return g_bSpaceScanBusy.load() != 0; }

void StopSpaceScan() { g_bSpaceScanBusy.store(0); }

LRESULT OnAnalyzeCommand(HWND window) {
    // A scan asked to stop may still be finishing.
    if (g_bSpaceScanBusy.load() || g_bSpaceWorkerLive.load()) return 0;
    g_nSpaceUsed.store(DriveUsedBytes());
    g_bSpaceScanBusy.store(1);
    if (g_hBtnAnalyze) EnableWindow(g_hBtnAnalyze, FALSE);
    if (g_hStaticSpaceStat) SetWindowTextW(g_hStaticSpaceStat, L"正在分析...");
    SetStatusText(u"正在分析磁盘空间...");
    if (!StartSpaceScanWorker(window)) {
        StopSpaceScan();
        if (g_hBtnAnalyze) EnableWindow(g_hBtnAnalyze, TRUE);
        SayWorkerNotStarted(window, g_hStaticSpaceStat);
    }
    return 0;
}

LRESULT OnSpaceScanFinished(HWND window, WPARAM outcome, LPARAM tree) {
    if (g_hBtnAnalyze) EnableWindow(g_hBtnAnalyze, TRUE);
    SpaceTree* fresh = reinterpret_cast<SpaceTree*>(tree);
    char16_t text[160];
    if (outcome == SPACE_FAILED || !fresh) {
        delete fresh;
        Text16CopyTruncated(text, 160, u"分析失败：内存不足。");
    } else {
        delete g_pSpaceTree;
        g_pSpaceTree = fresh;
        ShowFolder(0, kNoFolder);
        const char16_t drive[] = {g_szSystemDrive[0], u':', 0};
        char16_t size[kSizeTextUnits];
        FormatSize(g_pSpaceTree->Folder(0).size, size);
        FormatText(text, 160, outcome == SPACE_STOPPED ? u"分析已停止：%s 中已统计 %s" : u"分析完成：%s 中已统计 %s", drive,
                   size);
    }
    if (g_hStaticSpaceStat) SetWindowTextW(g_hStaticSpaceStat, WideText(text));
    SetStatusText(text);
    InvalidateRect(window, nullptr, FALSE);
    return 0;
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
        RedrawTreemap();
        return 0;
    case LVN_COLUMNCLICK: {
        const SpaceColumn column = static_cast<SpaceColumn>(reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
        // The same column again turns the order round; a new one starts
        // with names A to Z and numbers largest first.
        g_bSpaceSortAscending = column == g_nSpaceSortColumn ? !g_bSpaceSortAscending : column == SPACE_COL_NAME;
        g_nSpaceSortColumn = column;
        if (!g_pSpaceTree) {
            ShowListSortArrow(g_hListSpace, g_nSpaceSortColumn, g_bSpaceSortAscending);
            return 0;
        }
        const int32_t selected = SpaceSelectedRow();
        const uint32_t keep = selected >= 0 && g_spaceRows[selected].kind == SPACE_ROW_FOLDER ? g_spaceRows[selected].folder : kNoFolder;
        SortSpaceRows(*g_pSpaceTree, g_nSpaceFolder, &g_spaceRows, g_nSpaceSortColumn, g_bSpaceSortAscending);
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
    if (!g_pSpaceTree || g_nSpaceFolder == 0) return 0;
    const uint32_t from = g_nSpaceFolder;
    ShowFolder(g_pSpaceTree->Folder(from).parent, from);
    return 0;
}

LRESULT OnSpaceOpenCommand() {
    OpenRow(SpaceSelectedRow());
    return 0;
}

const SpaceRow* SpaceRowsShown(int32_t* count) {
    *count = static_cast<int32_t>(g_spaceRows.size());
    return g_spaceRows.data();
}

const SpaceTree* SpaceTreeShown(uint32_t* folder) {
    *folder = g_nSpaceFolder;
    return g_pSpaceTree;
}

int32_t SpaceSelectedRow() {
    if (!g_hListSpace) return -1;
    return static_cast<int32_t>(SendMessageW(g_hListSpace, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void SelectSpaceRow(int32_t row) {
    if (!g_hListSpace || row < 0 || row >= static_cast<int32_t>(g_spaceRows.size())) return;
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(g_hListSpace, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
    SendMessageW(g_hListSpace, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

void ShowSpaceRow(int32_t row) {
    if (!g_pSpaceTree || row < 0 || row >= static_cast<int32_t>(g_spaceRows.size())) return;
    const SpaceRow& shown = g_spaceRows[row];
    // A link is never entered; a folder that could not be read has nothing to show.
    if (shown.kind != SPACE_ROW_FOLDER || (shown.flags & (SPACE_LINK | SPACE_DENIED))) return;
    ShowFolder(shown.folder, kNoFolder);
}
