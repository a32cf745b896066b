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

#include <commctrl.h>

#include <new>

HWND g_hPreviewWnd = nullptr;

namespace {

const wchar_t kPreviewClass[] = L"NorvalePreview";

// What a worker gathers for one preview window; the window owns it once it
// has arrived, the worker until then.
struct PreviewJob {
    HWND window;
    const CleanupItem* item;
    FileCollector files;
};

struct PreviewState {
    HWND total, list, open, close;
    HFONT font;
    PreviewJob* job;  // null until the files have arrived
};

PreviewState* State(HWND window) { return reinterpret_cast<PreviewState*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

uint32_t PreviewWorker(void* parameter) {
    PreviewJob* job = static_cast<PreviewJob*>(parameter);
    CollectItemFiles(*job->item, &job->files);
    if (!PostWindowMessage(job->window, MSG_PREVIEW_READY, 0, reinterpret_cast<intptr_t>(job))) delete job;
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

void AddRow(HWND list, const char16_t* text, uint64_t bytes, LPARAM index) {
    LVITEMW row = {};
    row.mask = LVIF_TEXT | LVIF_PARAM;
    row.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    row.pszText = const_cast<wchar_t*>(WideText(text));
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
    SendMessageW(state->list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    AddColumn(state->list, 0, L"文件", ScaleByDpi(520), LVCFMT_LEFT);
    AddColumn(state->list, 1, L"大小", ScaleByDpi(110), LVCFMT_RIGHT);
    for (HWND control : {state->total, state->list, state->open, state->close})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), TRUE);
    EnableWindow(state->open, FALSE);
    Layout(window);
    return 0;
}

void OnFilesReady(HWND window, PreviewJob* job) {
    PreviewState* state = State(window);
    if (!state || state->job) {
        delete job;
        return;
    }
    state->job = job;
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
        char16_t size[kSizeTextUnits];
        FormatSize(files.bytes - shownBytes, size);
        FormatText(line, 128, u"还有 %d 个文件，%s", static_cast<int32_t>(rest), size);
        AddRow(state->list, line, files.bytes - shownBytes, -1);
    }
    // The bins of a drive the listing cannot reach still hold what was measured.
    const uint64_t measured = ItemSize(*job->item);
    if (job->item->mode == CM_RECYCLE_BIN && files.count == 0 && measured > 0)
        AddRow(state->list, u"回收站中的文件", measured, -1);
    SendMessageW(state->list, WM_SETREDRAW, TRUE, 0);
    char16_t size[kSizeTextUnits];
    FormatSize(files.bytes, size);
    FormatText(line, 128, u"共 %d 个文件，%s", static_cast<int32_t>(files.count), size);
    SetWindowTextW(state->total, WideText(line));
    EnableWindow(state->open, files.largest.empty() ? FALSE : TRUE);
}

void OpenSelected(HWND window) {
    PreviewState* state = State(window);
    if (!state || !state->job) return;
    int row = static_cast<int>(SendMessageW(state->list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (row < 0) row = 0;
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(state->list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return;
    const auto& largest = state->job->files.largest;
    if (item.lParam < 0 || static_cast<size_t>(item.lParam) >= largest.size()) return;
    if (!OpenFolderSelecting(WideText(largest[static_cast<size_t>(item.lParam)].path)))
        MessageBoxW(window, L"该文件已不在原处，无法打开所在文件夹。", L"提示", MB_OK | MB_ICONWARNING);
}

void OnPreviewDestroy(HWND window) {
    PreviewState* state = State(window);
    // A result posted but not yet taken is this window's to free.
    MSG pending;
    while (PeekMessageW(&pending, window, MSG_PREVIEW_READY, MSG_PREVIEW_READY, PM_REMOVE))
        delete reinterpret_cast<PreviewJob*>(pending.lParam);
    if (state) {
        delete state->job;
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
        if (header && header->idFrom == IDC_PREVIEW_LIST && header->code == NM_DBLCLK) OpenSelected(window);
        return 0;
    }
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
    PreviewJob* job = new (std::nothrow) PreviewJob{window, &chosen, FileCollector{}};
    if (!job) return;
    // Said in the window's own total line.
    if (!StartWorker(&g_preview, job, WorkerFailureSay{-1, State(window)->total, false})) delete job;
}
