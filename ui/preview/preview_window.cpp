// 查看文件: a window that lists every file a run of one item would delete,
// gathered on a worker by the run's own walker and guard. It deletes
// nothing.
#include "ui/preview/preview_window.h"

#include "engine/catalogue.h"
#include "engine/preview.h"
#include "platform/post.h"
#include "platform/system_win32.h"
#include "text/format.h"
#include "text/text16.h"
#include "ui/shell/app_state.h"
#include "ui/shell/ids.h"
#include "ui/shell/shell.h"
#include "ui/shell/workers.h"
#include "uimodel/preview_rows.h"

#include <commctrl.h>

#include <atomic>
#include <new>

HWND g_hPreviewWnd = nullptr;

namespace {

const wchar_t kPreviewClass[] = L"NorvalePreview";

// The progress line's refresh: at most five times a second.
constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT kProgressMs = 200;

// What a worker gathers for one preview window, held by both: the window
// reads the count and may ask the walk to stop while it runs; the files are
// the window's to read once the worker has said it is done. The last of the
// two to let go frees it, so closing the window never waits for the walk.
struct PreviewJob {
    HWND window;
    const CleanupItem* item;
    FileCollector files;
    std::atomic<uint64_t> found{0};
    std::atomic<bool> stop{false};
    std::atomic<int32_t> holders{2};
};

void LetGo(PreviewJob* job) {
    if (job && job->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) delete job;
}

struct PreviewState {
    HWND total, list, open, close;
    HFONT font;
    PreviewJob* job;  // held from the start; its files are read only once done
    bool done;
    PreviewSort sort;
};

PreviewState* State(HWND window) { return reinterpret_cast<PreviewState*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

uint32_t PreviewWorker(void* parameter) {
    PreviewJob* job = static_cast<PreviewJob*>(parameter);
    CollectItemFiles(*job->item, &job->files);
    // A window already gone has let go of the job; the message then is lost.
    PostWindowMessage(job->window, MSG_PREVIEW_READY, 0, reinterpret_cast<intptr_t>(job));
    LetGo(job);
    return 0;
}

WorkerKind g_preview = {PreviewWorker, {0}};

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id, DWORD exStyle = 0) {
    return CreateWindowExW(exStyle, cls, text, style | WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

void AddColumn(HWND list, int index, const wchar_t* title, int width, int format) {
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT | LVCF_FMT;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(title);
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

// A file's row (index >= 0) asks for its path when drawn, shortened to the
// column then; a summary row (index -1) carries its text.
void AddRow(HWND list, const char16_t* text, uint64_t bytes, LPARAM index) {
    LVITEMW row = {};
    row.mask = LVIF_TEXT | LVIF_PARAM;
    row.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    row.pszText = index >= 0 ? LPSTR_TEXTCALLBACKW : const_cast<wchar_t*>(WideText(text));
    row.lParam = index;
    int at = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row)));
    char16_t size[kSizeTextUnits];
    FormatSize(bytes, size);
    LVITEMW cell = {};
    cell.iSubItem = 1;
    cell.pszText = WideText(size);
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&cell));
}

void Layout(HWND window) {
    PreviewState* state = State(window);
    if (!state) return;
    RECT client;
    GetClientRect(window, &client);
    const int w = client.right, h = client.bottom, m = ScaleByDpi(12);
    const int buttonH = ScaleByDpi(32), lineH = ScaleByDpi(24);
    MoveWindow(state->total, m, m, w - 2 * m, lineH, TRUE);
    MoveWindow(state->list, m, m + lineH + ScaleByDpi(6), w - 2 * m, h - 3 * m - lineH - ScaleByDpi(6) - buttonH, TRUE);
    MoveWindow(state->open, m, h - m - buttonH, ScaleByDpi(130), buttonH, TRUE);
    MoveWindow(state->close, w - m - ScaleByDpi(90), h - m - buttonH, ScaleByDpi(90), buttonH, TRUE);
    int sizeColumn = ScaleByDpi(110);
    int fileColumn = w - 2 * m - sizeColumn - GetSystemMetrics(SM_CXVSCROLL) - ScaleByDpi(6);
    SendMessageW(state->list, LVM_SETCOLUMNWIDTH, 0, fileColumn > ScaleByDpi(100) ? fileColumn : ScaleByDpi(100));
    SendMessageW(state->list, LVM_SETCOLUMNWIDTH, 1, sizeColumn);
}

LRESULT OnPreviewCreate(HWND window) {
    PreviewState* state = new (std::nothrow) PreviewState{};
    if (!state) return -1;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    state->font = CreateUiFont(13);
    state->total = Child(window, L"STATIC", L"正在列出...", SS_LEFT | SS_CENTERIMAGE, IDC_PREVIEW_TOTAL);
    state->list = Child(window, WC_LISTVIEWW, L"", WS_VSCROLL | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL,
                        IDC_PREVIEW_LIST, WS_EX_CLIENTEDGE);
    state->open = Child(window, L"BUTTON", L"打开所在文件夹", WS_TABSTOP | BS_PUSHBUTTON, IDC_PREVIEW_OPEN);
    state->close = Child(window, L"BUTTON", L"关闭", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL);
    if (!state->total || !state->list || !state->open || !state->close) return -1;
    SendMessageW(state->list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);
    AddColumn(state->list, 0, L"文件", ScaleByDpi(520), LVCFMT_LEFT);
    AddColumn(state->list, 1, L"大小", ScaleByDpi(110), LVCFMT_RIGHT);
    for (HWND control : {state->total, state->list, state->open, state->close})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), TRUE);
    EnableWindow(state->open, FALSE);
    state->sort = kPreviewFirstSort;
    ShowListSortArrow(state->list, state->sort.column, state->sort.ascending);
    Layout(window);
    return 0;
}

void OpenSelected(HWND window);

void ShowProgress(HWND window) {
    PreviewState* state = State(window);
    if (!state || !state->job || state->done) return;
    char16_t count[kCountTextUnits], line[160];
    FormatCount(state->job->found.load(std::memory_order_relaxed), count, kCountTextUnits);
    FormatText(line, 160, u"正在列出... 已找到 %s 个文件", count);
    SetWindowTextW(state->total, WideText(line));
}

int CALLBACK CompareListed(LPARAM a, LPARAM b, LPARAM parameter) {
    const PreviewState* state = reinterpret_cast<const PreviewState*>(parameter);
    const auto& largest = state->job->files.largest;
    return ComparePreviewRows(largest.data(), largest.size(), a, b, state->sort);
}

void SortListed(PreviewState* state) {
    ShowListSortArrow(state->list, state->sort.column, state->sort.ascending);
    if (state->done) SendMessageW(state->list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(state), reinterpret_cast<LPARAM>(CompareListed));
}

// The index of a list item's file, or -1 for a summary row.
LPARAM RowIndex(HWND list, int row) {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return -1;
    return item.lParam;
}

const PreviewFile* RowFile(const PreviewState* state, int row) {
    if (!state || !state->done) return nullptr;
    const LPARAM index = RowIndex(state->list, row);
    const auto& largest = state->job->files.largest;
    if (index < 0 || static_cast<size_t>(index) >= largest.size()) return nullptr;
    return &largest[static_cast<size_t>(index)];
}

struct MeasureDc {
    HDC dc;
};

int MeasureUnits(const char16_t* text, int units, void* context) {
    SIZE size = {0, 0};
    GetTextExtentPoint32W(static_cast<MeasureDc*>(context)->dc, WideText(text), units, &size);
    return size.cx;
}

// The path cell: shortened in its middle to the column as it is now.
void GiveRowText(PreviewState* state, NMLVDISPINFOW* info) {
    if (!(info->item.mask & LVIF_TEXT) || info->item.iSubItem != 0 || info->item.cchTextMax <= 0) return;
    info->item.pszText[0] = 0;
    const PreviewFile* file = RowFile(state, info->item.iItem);
    if (!file) return;
    // The list's own margins either side of a cell's text.
    const int width = static_cast<int>(SendMessageW(state->list, LVM_GETCOLUMNWIDTH, 0, 0)) - ScaleByDpi(14);
    MeasureDc measure = {GetDC(state->list)};
    if (!measure.dc) {
        Text16CopyTruncated(Text16(info->item.pszText), static_cast<size_t>(info->item.cchTextMax), file->path);
        return;
    }
    HGDIOBJ was = SelectObject(measure.dc, state->font);
    ShortenPathMiddle(file->path, width, MeasureUnits, &measure, Text16(info->item.pszText), info->item.cchTextMax);
    SelectObject(measure.dc, was);
    ReleaseDC(state->list, measure.dc);
}

// The tooltip over a row: its whole path.
void GiveRowTip(PreviewState* state, NMLVGETINFOTIPW* tip) {
    if (tip->cchTextMax <= 0) return;
    const PreviewFile* file = RowFile(state, tip->iItem);
    if (file) Text16CopyTruncated(Text16(tip->pszText), static_cast<size_t>(tip->cchTextMax), file->path);
}

LRESULT OnPreviewListNotify(HWND window, const NMHDR* header) {
    PreviewState* state = State(window);
    if (!state) return 0;
    switch (header->code) {
    case NM_DBLCLK:
        OpenSelected(window);
        return 0;
    case LVN_GETDISPINFOW:
        GiveRowText(state, reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(header)));
        return 0;
    case LVN_GETINFOTIPW:
        GiveRowTip(state, reinterpret_cast<NMLVGETINFOTIPW*>(const_cast<NMHDR*>(header)));
        return 0;
    case LVN_COLUMNCLICK:
        ChoosePreviewSortColumn(&state->sort, reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
        SortListed(state);
        return 0;
    default:
        return 0;
    }
}

void OnFilesReady(HWND window, PreviewJob* job) {
    PreviewState* state = State(window);
    if (!state || state->job != job || state->done) return;
    state->done = true;
    KillTimer(window, kProgressTimer);
    const FileCollector& files = job->files;
    SendMessageW(state->list, WM_SETREDRAW, FALSE, 0);
    uint64_t shownBytes = 0;
    for (size_t i = 0; i < files.largest.size(); ++i) {
        AddRow(state->list, files.largest[i].path, files.largest[i].size, static_cast<LPARAM>(i));
        shownBytes += files.largest[i].size;
    }
    char16_t line[128];
    const uint64_t rest = files.count - files.largest.size();
    if (rest > 0) {
        char16_t size[kSizeTextUnits], count[kCountTextUnits];
        FormatSize(files.bytes - shownBytes, size);
        FormatCount(rest, count, kCountTextUnits);
        FormatText(line, 128, u"还有 %s 个文件，%s", count, size);
        AddRow(state->list, line, files.bytes - shownBytes, -1);
    }
    // The bins of a drive the listing cannot reach still hold what was measured.
    const uint64_t measured = ItemSize(*job->item);
    if (job->item->mode == CM_RECYCLE_BIN && files.count == 0 && measured > 0)
        AddRow(state->list, u"回收站中的文件", measured, -1);
    if (state->sort.column != kPreviewFirstSort.column || state->sort.ascending != kPreviewFirstSort.ascending)
        SortListed(state);
    SendMessageW(state->list, WM_SETREDRAW, TRUE, 0);
    char16_t size[kSizeTextUnits], count[kCountTextUnits];
    FormatSize(files.bytes, size);
    FormatCount(files.count, count, kCountTextUnits);
    FormatText(line, 128, u"共 %s 个文件，%s", count, size);
    SetWindowTextW(state->total, WideText(line));
    EnableWindow(state->open, files.largest.empty() ? FALSE : TRUE);
}

void OpenSelected(HWND window) {
    PreviewState* state = State(window);
    if (!state || !state->done) return;
    int row = static_cast<int>(SendMessageW(state->list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (row < 0) row = 0;
    const PreviewFile* file = RowFile(state, row);
    if (!file) return;
    if (!OpenFolderSelecting(WideText(file->path)))
        MessageBoxW(window, L"该文件已不在原处，无法打开所在文件夹。", L"提示", MB_OK | MB_ICONWARNING);
}

void OnPreviewDestroy(HWND window) {
    PreviewState* state = State(window);
    KillTimer(window, kProgressTimer);
    if (state) {
        // A walk still running ends at its next entry, on its own time.
        if (state->job) state->job->stop.store(true, std::memory_order_relaxed);
        LetGo(state->job);
        if (state->font) DeleteObject(state->font);
        delete state;
    }
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if (g_hPreviewWnd == window) g_hPreviewWnd = nullptr;
}

LRESULT CALLBACK PreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnPreviewCreate(window);
    case WM_SIZE:
        Layout(window);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            DestroyWindow(window);
        } else if (LOWORD(wParam) == IDC_PREVIEW_OPEN) {
            OpenSelected(window);
        }
        return 0;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->idFrom == IDC_PREVIEW_LIST) return OnPreviewListNotify(window, header);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kProgressTimer) ShowProgress(window);
        return 0;
    case MSG_PREVIEW_READY:
        OnFilesReady(window, reinterpret_cast<PreviewJob*>(lParam));
        return 0;
    case WM_DESTROY:
        OnPreviewDestroy(window);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool RegisterPreviewClass() {
    static bool registered = false;
    if (registered) return true;
    WNDCLASSEXW cls = {};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = PreviewProc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = kPreviewClass;
    cls.hIcon = reinterpret_cast<HICON>(GetClassLongPtrW(g_hMainWnd, GCLP_HICON));
    registered = RegisterClassExW(&cls) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return registered;
}

}  // namespace

void OpenPreview(int group, int item) {
    if (group < 0 || group >= kGroupCount || item < 0 || item >= g_CleanupGroups[group].itemCount) return;
    if (!RegisterPreviewClass()) return;
    if (g_hPreviewWnd) DestroyWindow(g_hPreviewWnd);
    const CleanupItem& chosen = g_CleanupGroups[group].items[item];
    char16_t title[160];
    FormatText(title, 160, u"将删除的文件 - %s", chosen.name);
    // Over the middle of the main window, which owns it.
    RECT owner = {0, 0, 0, 0};
    GetWindowRect(g_hMainWnd, &owner);
    const int width = ScaleByDpi(720), height = ScaleByDpi(480);
    const int x = (owner.left + owner.right - width) / 2, y = (owner.top + owner.bottom - height) / 2;
    HWND window = CreateWindowExW(0, kPreviewClass, WideText(title), WS_OVERLAPPEDWINDOW, x > 0 ? x : 0, y > 0 ? y : 0,
                                  width, height, g_hMainWnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) return;
    g_hPreviewWnd = window;
    ShowWindow(window, SW_SHOW);
    PreviewState* state = State(window);
    PreviewJob* job = new (std::nothrow) PreviewJob();
    if (!state || !job) {
        delete job;
        return;
    }
    job->window = window;
    job->item = &chosen;
    job->files.found = &job->found;
    job->files.stop = &job->stop;
    state->job = job;
    SetTimer(window, kProgressTimer, kProgressMs, nullptr);
    // Said in the window's own total line; the worker's hold goes with it.
    if (!StartWorker(&g_preview, job, WorkerFailureSay{-1, state->total, false})) {
        KillTimer(window, kProgressTimer);
        LetGo(job);
    }
}
