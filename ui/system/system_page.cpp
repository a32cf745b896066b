// The system-space page: five rows of the system's own large consumers,
// each with what it takes, its state and its actions. Readings and actions
// run on the page's worker, one at a time; every change asks first, with
// Return on 否.
#include "ui/shell/workers.h"
#include "ui/system/system_page.h"

#include "text/format.h"
#include "text/text16.h"
#include "ui/system/system_page_internal.h"
#include "uimodel/system_layout.h"

namespace {

enum SystemCell { CELL_NAME, CELL_STATE, CELL_SIZE, CELL_ACTION_A, CELL_ACTION_B, CELL_COUNT };

// Row r's cell c has the id IDC_SYSTEM_FIRST + r * CELL_COUNT + c.
struct CellKind {
    const wchar_t* cls;
    DWORD style;
};
const CellKind kCells[CELL_COUNT] = {
    {L"STATIC", WS_CHILD | SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS},
    {L"STATIC", WS_CHILD | SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS},
    {L"STATIC", WS_CHILD | SS_RIGHT | SS_NOPREFIX},
    {L"BUTTON", WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON},
    {L"BUTTON", WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON},
};

enum {
    IDC_SYSTEM_INTRO = 170,
    IDC_SYSTEM_HEAD_ITEM = 171,
    IDC_SYSTEM_HEAD_SIZE = 172,
    IDC_SYSTEM_HEAD_ACTION = 173,
    IDC_SYSTEM_STATUS = 174,
};
static_assert(IDC_SYSTEM_FIRST + SYS_ITEM_COUNT * CELL_COUNT <= IDC_SYSTEM_INTRO, "the rows' ids run into the others'");

struct FixedControl {
    int id;
    const wchar_t* text;
    DWORD style;
};
const FixedControl kFixed[] = {
    {IDC_SYSTEM_INTRO, L"系统自身占用的空间，用系统自己的工具测量和释放；每项更改前都会先询问。",
     WS_CHILD | SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS},
    {IDC_SYSTEM_HEAD_ITEM, L"项目", WS_CHILD | SS_LEFT | SS_NOPREFIX},
    {IDC_SYSTEM_HEAD_SIZE, L"占用", WS_CHILD | SS_RIGHT | SS_NOPREFIX},
    {IDC_SYSTEM_HEAD_ACTION, L"操作", WS_CHILD | SS_LEFT | SS_NOPREFIX},
    {IDC_SYSTEM_STATUS, L"", WS_CHILD | SS_LEFT | SS_NOPREFIX},
};
constexpr int kFixedCount = sizeof kFixed / sizeof kFixed[0];

enum SystemPhase { SYSTEM_IDLE, SYSTEM_RUNNING };

// Main thread only.
HWND g_hSystemCells[SYS_ITEM_COUNT][CELL_COUNT];
HWND g_hSystemFixed[kFixedCount];
SystemPhase g_nSystemPhase = SYSTEM_IDLE;
SystemAction g_nSystemRunning = SA_NONE;
SystemFacts g_systemFacts = {};
int32_t g_bSystemAdmin = 0;
bool g_bSystemFilesRead = false;
char16_t g_szSystemRoot[4] = u"C:\\";

HWND Fixed(int id) {
    for (int i = 0; i < kFixedCount; ++i)
        if (kFixed[i].id == id) return g_hSystemFixed[i];
    return nullptr;
}

void SetTextIfChanged(HWND control, const char16_t* text) {
    if (!control) return;
    wchar_t now[512];
    GetWindowTextW(control, now, 512);
    if (!Text16Equal(Text16(now), text)) SetWindowTextW(control, WideText(text));
}

void SetStatus(const char16_t* text) { SetTextIfChanged(Fixed(IDC_SYSTEM_STATUS), text); }

void RefreshRows() {
    const bool busy = g_nSystemPhase == SYSTEM_RUNNING;
    for (int row = 0; row < SYS_ITEM_COUNT; ++row) {
        SystemRowText text;
        DescribeSystemRow(static_cast<SystemItem>(row), g_systemFacts, g_bSystemAdmin != 0, busy, &text);
        SetTextIfChanged(g_hSystemCells[row][CELL_NAME], text.name);
        SetTextIfChanged(g_hSystemCells[row][CELL_STATE], text.state);
        SetTextIfChanged(g_hSystemCells[row][CELL_SIZE], text.size);
        for (int slot = 0; slot < kSystemActionSlots; ++slot) {
            HWND button = g_hSystemCells[row][CELL_ACTION_A + slot];
            if (!button) continue;
            SetTextIfChanged(button, text.action[slot]);
            EnableWindow(button, text.enabled[slot] ? TRUE : FALSE);
        }
    }
}

void MergeFacts(const SystemFacts& found) {
    if (found.hiberFile != FACT_NOT_READ) {
        g_systemFacts.hiberFile = found.hiberFile;
        g_systemFacts.hiberBytes = found.hiberBytes;
        g_systemFacts.hiber = found.hiber;
    }
    if (found.pageFile != FACT_NOT_READ) {
        g_systemFacts.pageFile = found.pageFile;
        g_systemFacts.pageBytes = found.pageBytes;
    }
    if (found.components != FACT_NOT_READ) {
        g_systemFacts.components = found.components;
        g_systemFacts.report = found.report;
    }
    if (found.restore != FACT_NOT_READ) {
        g_systemFacts.restore = found.restore;
        g_systemFacts.shadowUsed = found.shadowUsed;
        g_systemFacts.restorePoints = found.restorePoints;
    }
    if (found.reserved != FACT_NOT_READ) {
        g_systemFacts.reserved = found.reserved;
        g_systemFacts.reservedState = found.reservedState;
    }
}

void Start(HWND window, SystemAction action) {
    SystemJob* job = new SystemJob();
    job->window = window;
    job->action = action;
    Text16CopyTruncated(job->root, 4, g_szSystemRoot);
    g_nSystemPhase = SYSTEM_RUNNING;
    g_nSystemRunning = action;
    char16_t text[128];
    ActionRunningText(action, -1, text, 128);
    SetStatus(text);
    RefreshRows();
    if (StartSystemWorker(job)) return;
    g_nSystemPhase = SYSTEM_IDLE;
    g_nSystemRunning = SA_NONE;
    SetStatus(kWorkerFailed);
    RefreshRows();
}

}  // namespace

void CreateSystemPage(HWND parent, int32_t admin, const char16_t* systemDrive) {
    g_bSystemAdmin = admin;
    g_szSystemRoot[0] = systemDrive[0];
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    for (int row = 0; row < SYS_ITEM_COUNT; ++row) {
        for (int cell = 0; cell < CELL_COUNT; ++cell) {
            const int id = IDC_SYSTEM_FIRST + row * CELL_COUNT + cell;
            const bool action = cell >= CELL_ACTION_A;
            // A row without an action in a slot has no button there.
            if (action && SystemRowAction(static_cast<SystemItem>(row), cell - CELL_ACTION_A) == SA_NONE) continue;
            g_hSystemCells[row][cell] =
                CreateWindowExW(0, kCells[cell].cls, L"", kCells[cell].style, 0, 0, 10, 10, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        }
    }
    for (int i = 0; i < kFixedCount; ++i)
        g_hSystemFixed[i] = CreateWindowExW(0, L"STATIC", kFixed[i].text, kFixed[i].style, 0, 0, 10, 10, parent,
                                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFixed[i].id)), instance, nullptr);
    SetStatus(admin ? u"点击“分析”或“读取”测量各项；每项更改都会先询问。"
                    : u"普通模式下只显示两个文件的大小；分析和释放需要管理员模式，可用左下角的按钮切换。");
    RefreshRows();
}

void SetSystemPageFont(HFONT font) {
    for (auto& row : g_hSystemCells)
        for (HWND cell : row)
            if (cell) SendMessageW(cell, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    for (HWND control : g_hSystemFixed)
        if (control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void LayoutSystemPage(const LayoutRect& area, int dpi) {
    const SystemPageLayout l = ComputeSystemPageLayout(area, dpi);
    auto move = [](HWND control, const LayoutRect& r) {
        if (control) MoveWindow(control, r.x, r.y, r.width, r.height, TRUE);
    };
    for (int row = 0; row < SYS_ITEM_COUNT; ++row) {
        move(g_hSystemCells[row][CELL_NAME], l.name[row]);
        move(g_hSystemCells[row][CELL_STATE], l.state[row]);
        move(g_hSystemCells[row][CELL_SIZE], l.size[row]);
        move(g_hSystemCells[row][CELL_ACTION_A], l.action[row][0]);
        move(g_hSystemCells[row][CELL_ACTION_B], l.action[row][1]);
    }
    move(Fixed(IDC_SYSTEM_INTRO), l.intro);
    move(Fixed(IDC_SYSTEM_HEAD_ITEM), l.headerItem);
    move(Fixed(IDC_SYSTEM_HEAD_SIZE), l.headerSize);
    move(Fixed(IDC_SYSTEM_HEAD_ACTION), l.headerAction);
    move(Fixed(IDC_SYSTEM_STATUS), l.status);
}

void ShowSystemPage(bool show) {
    if (show && !g_bSystemFilesRead) {
        // Two listings of the root and two registry values: no tool runs.
        g_bSystemFilesRead = true;
        ReadSystemFiles(g_szSystemRoot, &g_systemFacts);
        RefreshRows();
    }
    const int how = show ? SW_SHOW : SW_HIDE;
    for (auto& row : g_hSystemCells)
        for (HWND cell : row)
            if (cell) ShowWindow(cell, how);
    for (HWND control : g_hSystemFixed)
        if (control) ShowWindow(control, how);
}

LRESULT OnSystemCommand(HWND window, int id) {
    const int index = id - IDC_SYSTEM_FIRST;
    if (index < 0 || index >= SYS_ITEM_COUNT * CELL_COUNT || index % CELL_COUNT < CELL_ACTION_A) return 0;
    const SystemAction action =
        SystemRowAction(static_cast<SystemItem>(index / CELL_COUNT), index % CELL_COUNT - CELL_ACTION_A);
    if (action == SA_NONE) return 0;
    if (action == SA_PAGEFILE_EXPLAIN) {
        MessageBoxW(window, WideText(kPageFileExplanation), L"说明", MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    // The buttons say so already; a command that still arrives changes nothing.
    if (g_nSystemPhase != SYSTEM_IDLE || (SystemActionNeedsAdmin(action) && !g_bSystemAdmin)) return 0;
    if (SystemActionAsks(action)) {
        char16_t question[512];
        if (!SystemQuestionText(action, g_systemFacts, question, 512)) return 0;
        const int answer = MessageBoxW(window, WideText(question), WideText(kSystemQuestionTitle),
                                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
        if (answer != IDYES) return 0;
    }
    Start(window, action);
    return 0;
}

LRESULT OnSystemWorkerMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MSG_SYSTEM_PROGRESS) {
        if (g_nSystemPhase != SYSTEM_RUNNING) return 0;
        char16_t text[128];
        ActionRunningText(g_nSystemRunning, static_cast<int32_t>(wParam), text, 128);
        SetStatus(text);
        return 0;
    }
    if (message != MSG_SYSTEM_DONE) return 0;
    SystemResult* result = reinterpret_cast<SystemResult*>(lParam);
    if (!result) return 0;
    MergeFacts(result->facts);
    g_nSystemPhase = SYSTEM_IDLE;
    g_nSystemRunning = SA_NONE;
    SetStatus(result->text);
    delete result;
    RefreshRows();
    return 0;
}

bool SystemPageBusy() { return g_nSystemPhase == SYSTEM_RUNNING; }
